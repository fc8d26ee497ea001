#pragma once

#include <QFileDevice>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "LocalFiles.h"
#include "LogReading.h"

// A file read in parts at once, for the loader and for readers that keep less than the records.
namespace modMain::detail {

// Reads [begin, end) of an open file at its own positions, so that parts of one file can be read at
// the same time; end < 0 reads on to the end of the file, however far it has grown.
class RangeSource {
public:
    RangeSource(int handle, qint64 begin, qint64 end) : handle_(handle), pos_(begin), end_(end) {}

    qint64 read(char *to, qsizetype size)
    {
        if (end_ >= 0)
            size = qsizetype(std::min<qint64>(size, end_ - pos_));
        if (size <= 0)
            return 0;
        const qint64 got = localfiles::readAt(handle_, pos_, to, size, &error_);
        if (got > 0)
            pos_ += got;
        return got;
    }
    QString errorString() const { return error_; }
    // After the end: whether the file ended before the range did.
    bool endedEarly() const { return end_ >= 0 && pos_ < end_; }

private:
    int handle_;
    qint64 pos_;
    qint64 end_;
    QString error_;
};

// A part of a file, parsed apart by a builder of its own (whose names are its own too).
template <typename Builder> struct FilePart {
    qint64 begin = 0;
    qint64 end = -1; // -1: to the end of the file
    Builder builder;
    LoadResult outcome;
    bool endedEarly = false;
};

// Reads a file in parts, cut at line starts, each parsed by a Builder (a sink of splitLines with
// expect(bytes)) on threads at once. Loaded leaves the builders in file order in *built, for the
// caller to join; else the failure (in file order), or Cancelled.
template <typename Builder>
LoadResult readInParts(QFileDevice &file, int handle, int parts, int threads, const LoadOptions &options,
                       QList<Builder> *built)
{
    const qint64 base = file.pos();
    const qint64 sizeAtOpen = file.size() - base;

    char head[3] = {};
    RangeSource headSource(handle, base, base + 3);
    qint64 headSize = 0;
    for (qint64 got = 1; got > 0 && headSize < 3; headSize += got) {
        got = headSource.read(head + headSize, 3 - headSize);
        if (got < 0)
            return failure(LoadStatus::FileError, headSource.errorString());
    }
    qsizetype mark = 0;
    const LogEncoding encoding = detectEncoding(QByteArrayView(head, headSize), &mark);
    const qint64 unit = unitSize(encoding);
    const qint64 dataStart = base + mark;
    const qint64 dataUnits = std::max<qint64>(sizeAtOpen - mark, 0) / unit;

    // Each part starts where the line that holds its share of the file starts; a part that a long line
    // swallows whole is left empty. A cut between the CR and the LF of a line end leaves the LF to the
    // next part as an empty line, which gives no record. Each search looks back only as far as the last
    // share, so that the file is searched once however long its lines.
    QList<FilePart<Builder>> list(parts);
    list[0].begin = dataStart;
    qint64 searched = dataStart; // no line end lies between the last part's start and this
    for (int k = 1; k < parts; ++k) {
        const qint64 share = dataStart + unit * qint64((double(dataUnits) * k) / parts);
        QString error;
        const LineStart start = lineStartBefore(handle, share, searched, encoding, &error);
        if (start.at < 0)
            return failure(LoadStatus::FileError, error);
        list[k].begin = start.found ? start.at : list[k - 1].begin;
        list[k - 1].end = list[k].begin;
        searched = share;
    }

    std::atomic<qint64> done{mark};
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    const qsizetype readSize = options.readSize;
    auto parse = [&](FilePart<Builder> &part, bool first, bool reporting) {
        try {
            RangeSource source(handle, part.begin, part.end);
            Builder &builder = part.builder;
            builder.expect(part.end >= 0 ? part.end - part.begin : sizeAtOpen + base - part.begin);
            part.outcome = splitLines(source, readSize, &encoding, first, builder, [&](qint64 got) {
                const qint64 sofar = done.fetch_add(got, std::memory_order_relaxed) + got;
                if (reporting && options.progress)
                    options.progress(sofar, sizeAtOpen);
                return !stop.load(std::memory_order_relaxed) &&
                       !(options.cancel && options.cancel->load(std::memory_order_relaxed));
            });
            if (part.outcome.status == LoadStatus::Loaded)
                part.endedEarly = source.endedEarly();
        } catch (const std::bad_alloc &) {
            part.outcome = failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
        }
        if (part.outcome.status != LoadStatus::Loaded)
            stop = true; // the load has failed: the other parts need not go on
    };
    FilePart<Builder> *const shares = list.data(); // the list itself is not touched while threads work
    auto work = [&](bool reporting) {
        // The part that holds the header is the one that starts with the text (an empty part before it
        // may start there too, and has no line to take for one).
        for (int k = next++; k < parts; k = next++)
            parse(shares[k], shares[k].begin == dataStart, reporting);
    };

    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
        {
            const std::lock_guard lock(mutex);
            ++running;
        }
        try {
            workers.emplace_back([&] {
                work(false);
                const std::lock_guard lock(mutex);
                --running;
                finished.notify_all();
            });
        } catch (const std::system_error &) {
            const std::lock_guard lock(mutex);
            --running;
            break; // fewer threads: this one takes the parts that nobody else does
        }
    }
    work(true);
    {
        // The other threads finish their last parts; progress goes on meanwhile.
        std::unique_lock lock(mutex);
        while (!finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return running == 0; })) {
            lock.unlock();
            if (options.progress)
                options.progress(done.load(std::memory_order_relaxed), sizeAtOpen);
            lock.lock();
        }
    }
    for (std::thread &worker : workers)
        worker.join();

    // A failure of the file or of memory first, in file order; then a cancel.
    const bool cancelled = std::any_of(list.cbegin(), list.cend(), [](const FilePart<Builder> &part) {
        return part.outcome.status == LoadStatus::Cancelled;
    });
    for (const FilePart<Builder> &part : std::as_const(list)) {
        if (part.outcome.status != LoadStatus::Loaded && part.outcome.status != LoadStatus::Cancelled)
            return part.outcome;
    }
    if (cancelled)
        return failure(LoadStatus::Cancelled, QString());
    const qint64 total = done.load();
    if (options.progress)
        options.progress(total, sizeAtOpen);
    // A cancel raised by that last report counts, as it does after the last read of a load in one go: the
    // other threads may have read every part before this one reported anything.
    if (options.cancel && options.cancel->load(std::memory_order_relaxed))
        return failure(LoadStatus::Cancelled, QString());
    file.seek(base + total); // where reading it in one go would have left it
    if (total < sizeAtOpen || std::any_of(list.cbegin(), list.cend(),
                                          [](const FilePart<Builder> &part) { return part.endedEarly; }))
        return fileCutShort(total, sizeAtOpen);

    built->clear();
    built->reserve(parts);
    for (FilePart<Builder> &part : list)
        built->append(std::move(part.builder));
    return LoadResult{LoadStatus::Loaded, QString(), {}};
}

// Reads a device from where it stands, as its own read() goes.
class DeviceSource {
public:
    explicit DeviceSource(QIODevice &device) : device_(device) {}
    qint64 read(char *to, qsizetype size) { return device_.read(to, size); }
    QString errorString() const { return device_.errorString(); }

private:
    QIODevice &device_;
};

// The lines of the device from where it stands to builder, in one pass on this thread; NoLines when
// builder.empty() after a whole read.
template <typename Builder>
LoadResult readInOneGo(QIODevice &file, const LoadOptions &options, Builder &builder)
{
    qsizetype readSize = options.readSize;
    if (!file.isSequential()) {
        const qint64 size = file.size() - file.pos();
        builder.expect(size);
        // A small log (a folder of them is read one after another) needs no buffer of a large one; a
        // file that grows meanwhile is read on in reads of that size.
        constexpr qint64 kSmallestRead = qint64(64) << 10;
        readSize = qsizetype(std::min<qint64>(readSize, std::max(size + 1, kSmallestRead)));
    }
    DevicePass pass(file, options);
    DeviceSource source(file);
    LoadResult result = splitLines(source, readSize, nullptr, true, builder, pass);
    return pass.finish(std::move(result), builder.empty());
}

// How many parts to read the rest of device in (options.parts, or by its size and the cores), with the
// file's handle; 0 parts when it is to be read in one go.
struct PartPlan {
    QFileDevice *file = nullptr;
    int handle = -1;
    int parts = 0;
    int threads = 0;
};
PartPlan planParts(QIODevice &device, const LoadOptions &options);

} // namespace modMain::detail
