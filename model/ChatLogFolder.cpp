#include "ChatLogFolder.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace modMain {

namespace {

// The least read buffer for a file of a folder, whatever its size when listed.
constexpr qint64 kMinReadSize = qint64(16) << 10;

LoadResult failed(LoadStatus status, const QString &errorText)
{
    LoadResult result;
    result.status = status;
    result.errorText = errorText;
    return result;
}

} // namespace

bool isSessionLogName(QStringView name)
{
    constexpr QStringView kPrefix = u"client_chat_log_", kSuffix = u".txt";
    return name.size() >= kPrefix.size() + kSuffix.size() && name.startsWith(kPrefix, Qt::CaseInsensitive) &&
           name.endsWith(kSuffix, Qt::CaseInsensitive);
}

void sortSessionLogNames(QStringList &names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
}

LoadResult loadChatLogs(const QStringList &paths, const LoadOptions &options, QString *failedPath,
                        const OpenLogFile &open, const LogFileRead &fileRead)
{
    auto failAt = [&](const QString &path, LoadStatus status, const QString &errorText) {
        if (failedPath)
            *failedPath = path;
        return failed(status, errorText);
    };
    // The sizes up front, so that the progress of the whole load can be told from the first file on.
    qint64 total = 0, largest = 0;
    QList<qint64> sizes;
    sizes.reserve(paths.size());
    for (const QString &path : paths) {
        sizes.append(QFileInfo(path).size());
        total += sizes.last();
        largest = std::max(largest, sizes.last());
    }
    // A player's logs are mostly small: several are read at once, each on one core, where one by one
    // each would take a core alone. A log that holds most of the bytes is read in parts of its own.
    const qsizetype n = paths.size();
    const int cores = std::max(QThread::idealThreadCount(), 1);
    const int threads = largest * cores <= total ? int(std::min<qsizetype>(cores, n)) : 1;

    std::vector<LoadResult> results(size_t(n), failed(LoadStatus::Cancelled, {}));
    std::atomic<qsizetype> next{0};
    std::atomic<bool> stop{false};
    std::atomic<qint64> done{0}; // bytes of the files read to their end
    std::mutex fileReadOrder;
    // Progress is told from this thread only: what all have read, and this one's file so far.
    auto report = [&](qint64 mine) {
        if (options.progress)
            options.progress(done.load() + mine, std::max(total, done.load() + mine));
    };
    auto loadOne = [&](qsizetype i, bool here) {
        LoadResult &result = results[size_t(i)];
        try {
            QFile file;
            QString openError;
            if (open ? !open(file, paths[i], &openError)
                     : !(file.setFileName(paths[i]), file.open(QIODevice::ReadOnly))) {
                result = failed(LoadStatus::FileError, open ? openError : file.errorString());
                return;
            }
            LoadOptions fileOptions = options;
            if (threads > 1)
                fileOptions.parts = 1;
            // A read buffer no larger than the file (and what may be added to it meanwhile): a log of a
            // few kilobytes need not take a quarter of a megabyte, thousands of times over.
            fileOptions.readSize = std::min(options.readSize, std::max<qint64>(sizes[i] + 1, kMinReadSize));
            qint64 read = 0;
            fileOptions.progress = [&](qint64 bytesRead, qint64) {
                read = bytesRead;
                if (here)
                    report(bytesRead);
            };
            result = LoadChatLog(file, fileOptions);
            done += std::max(read, file.size());
            if (here)
                report(0);
            if (fileRead && (result.status == LoadStatus::Loaded || result.status == LoadStatus::NoLines)) {
                const std::lock_guard<std::mutex> lock(fileReadOrder);
                fileRead(file, paths[i]);
            }
        } catch (const std::bad_alloc &) {
            result = failed(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
        }
    };
    // Files are taken in order, so that when one fails every one before it has been read.
    auto work = [&](bool here) {
        while (!stop.load() && !(options.cancel && options.cancel->load())) {
            const qsizetype i = next++;
            if (i >= n)
                return;
            loadOne(i, here);
            const LoadStatus status = results[size_t(i)].status;
            if (status != LoadStatus::Loaded && status != LoadStatus::NoLines)
                stop = true;
        }
    };
    {
        std::vector<std::thread> helpers;
        try {
            for (int t = 1; t < threads; ++t)
                helpers.emplace_back(work, false);
        } catch (const std::system_error &) {
            // fewer threads: this one reads what the others do not
        }
        work(true);
        for (std::thread &helper : helpers)
            helper.join();
    }

    LoadResult joined;
    joined.status = LoadStatus::NoLines;
    const qsizetype attempted = std::min(next.load(), n);
    qsizetype i = 0;
    try {
        for (; i < attempted; ++i) {
            LoadResult &one = results[size_t(i)];
            switch (one.status) {
            case LoadStatus::Loaded:
                break;
            case LoadStatus::NoLines: // a session without a chat line
                continue;
            case LoadStatus::Cancelled:
                return failed(LoadStatus::Cancelled, {});
            case LoadStatus::FileError:
            case LoadStatus::OutOfMemory:
                return failAt(paths[i], one.status, one.errorText);
            }
            if (joined.status != LoadStatus::Loaded) {
                joined = std::move(one);
                // At most the names of every file to come, each looked up once.
                qsizetype names = 0;
                for (qsizetype j = i; j < attempted; ++j)
                    names += results[size_t(j)].log.ChatNames.size();
                // The loader leaves ChatNames sharing the records' table; it lets go while the table grows.
                joined.log.ChatNames = QStringList();
                joined.log.ChatLog.reserveNames(names);
                joined.log.ChatNames = joined.log.ChatLog.chatNames();
            } else {
                joined.log.append(std::move(one.log));
            }
            one = LoadResult();
        }
    } catch (const std::bad_alloc &) {
        // The records joined so far are freed before the caller sees the failure.
        return failAt(paths[i], LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
    if (attempted < n)
        return failed(LoadStatus::Cancelled, {});
    report(0);
    return joined;
}

} // namespace modMain
