#include <QFile>
#include <QHash>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "CodePage1252.h"
#include "LineParser.h"
#include "TextCodec.h"
#include "modMain.h"

namespace modMain {
namespace {

// Chat names as hash keys, with a cheap hash: names are short and hashed once per line.
struct NameKey {
    QStringView name;
    friend bool operator==(NameKey a, NameKey b) { return detail::same(a.name, b.name); }
};

size_t qHash(NameKey key, size_t seed)
{
    size_t h = seed ^ 1469598103934665603ULL;
    for (QChar c : key.name) {
        h ^= c.unicode();
        h *= 1099511628211ULL;
    }
    return h;
}

// Builds the records of one log, or of one part of a file, apart from any loaded one, so that a failed
// load changes nothing.
class LogBuilder {
public:
    void addLine(QStringView line, qint64 /*number*/)
    {
        const detail::LineShape shape = detail::shapeOfLine(line, &dates_);
        // Names are listed in order of first appearance: "Public/Global" too joins the table where its
        // first line stands.
        quint32 chat = 0;
        if (shape.kind == detail::LineKind::Public) {
            if (publicIndex_ < 0)
                publicIndex_ = qint64(intern(kPublicChatName));
            chat = quint32(publicIndex_);
        } else {
            chat = intern(shape.chatName);
        }
        const quint8 flags = (shape.kind == detail::LineKind::Channel ? ChatLogRecords::Channel : 0) |
                             (shape.kind == detail::LineKind::Tell ? ChatLogRecords::Tell : 0) |
                             (shape.isGameFeedback ? ChatLogRecords::GameFeedback : 0);
        records_.appendRecord(chat, shape.timeStamp, flags, line.sliced(shape.textStart));
    }

    // The bytes about to be read, when known: a line takes a few dozen of them and its text fewer.
    void expect(qint64 bytes)
    {
        if (bytes > 0)
            records_.reserve(qsizetype(bytes / kBytesPerRecord), qsizetype(bytes));
    }
    bool empty() const { return records_.isEmpty(); }
    ChatLogRecords take()
    {
        records_.squeeze();
        return std::move(records_);
    }

private:
    static constexpr qint64 kBytesPerRecord = 48;

    quint32 intern(QStringView name)
    {
        if (lastIndex_ >= 0 && detail::same(records_.chatNames()[lastIndex_], name))
            return quint32(lastIndex_);
        auto it = index_.constFind(NameKey{name});
        if (it == index_.cend()) {
            const quint32 index = records_.addChatName(name.toString());
            // The key views the table's string, whose characters stay where they are.
            it = index_.insert(NameKey{records_.chatNames()[index]}, index);
        }
        lastIndex_ = *it;
        return *it;
    }

    ChatLogRecords records_;
    DateCache dates_;
    QHash<NameKey, quint32> index_;
    qint64 lastIndex_ = -1;
    qint64 publicIndex_ = -1;
};

// The first CR or LF in [p, end), or end.
const char16_t *findLineEnd(const char16_t *p, const char16_t *end)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(u'\r'), lf = _mm_set1_epi16(u'\n');
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
        if (mask)
            return p + std::countr_zero(unsigned(mask)) / 2;
        p += 8;
    }
#endif
    while (p < end && *p != u'\r' && *p != u'\n')
        ++p;
    return p;
}

// Splits decoded text into lines at CR LF, LF or a lone CR and hands them on with their numbers (from 1,
// counting every line fed); the first line is the header (unless the text is a later part of a file)
// and empty lines are skipped. A line cut by the end of a chunk waits for the next one.
template <typename LineSink> class LineSplitter {
public:
    LineSplitter(LineSink &sink, bool withHeader) : sink_(sink), headerSeen_(!withHeader) {}

    // Consumes the complete lines of text[0, size); returns how many characters were consumed. The
    // next call's text must begin with the characters left unconsumed, unchanged, so that they are not
    // searched again: a line of any length costs one scan, however many chunks it spans.
    qsizetype feed(const char16_t *text, qsizetype size, bool atEnd)
    {
        qsizetype start = 0;
        for (qsizetype i = scanned_; i < size; ++i) {
            i = findLineEnd(text + i, text + size) - text;
            if (i == size)
                break;
            const char16_t c = text[i];
            if (c == u'\r' && i + 1 == size && !atEnd) {
                scanned_ = i - start; // an LF may follow in the next chunk: look at this CR again
                return start;
            }
            line(QStringView(text + start, i - start));
            if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
        if (atEnd && start < size) {
            line(QStringView(text + start, size - start));
            start = size;
        }
        scanned_ = size - start;
        return start;
    }

private:
    void line(QStringView line)
    {
        ++lines_;
        if (headerSeen_) {
            if (!line.isEmpty())
                sink_.addLine(line, lines_);
        } else {
            headerSeen_ = true;
        }
    }

    LineSink &sink_;
    bool headerSeen_ = false;
    qsizetype scanned_ = 0; // characters at the start of the next text known to hold no line end
    qint64 lines_ = 0;
};

LoadResult failure(LoadStatus status, const QString &errorText)
{
    LoadResult result;
    result.status = status;
    result.errorText = errorText;
    return result;
}

LoadResult fileCutShort(qint64 read, qint64 sizeAtOpen)
{
    return failure(LoadStatus::FileError,
                   QStringLiteral("The file became shorter while it was being read (%1 of %2 bytes)")
                       .arg(read)
                       .arg(sizeAtOpen));
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

// Reads source to its end and hands every record's line to sink.addLine, in order. Without encoding,
// the encoding is read from a byte-order mark at the start; with it, the bytes are a part of a file in
// that encoding that starts at the start of a line, and withHeader says whether it is the file's first
// part. afterRead(bytes) hears of every read and returns false to stop the load, which is then
// Cancelled. Loaded says that the source was read to its end.
template <typename Source, typename LineSink, typename AfterRead>
LoadResult splitLines(Source &source, qsizetype readSize, const LogEncoding *encoding, bool withHeader,
                      LineSink &sink, AfterRead &&afterRead)
{
    readSize = std::max<qsizetype>(readSize, 1);
    // Room for a whole byte-order mark even when reads are smaller than one.
    QByteArray chunk(std::max<qsizetype>(readSize, 3), Qt::Uninitialized);
    qsizetype filled = 0;
    // Decoded characters: the unfinished line of the previous chunk, then the new chunk.
    // A QString grows by realloc without filling its new room, so a line of any length costs no more
    // than its own characters: large blocks are moved by remapping pages, not by copying them.
    QString pending;
    qsizetype pendingSize = 0;
    LineSplitter<LineSink> splitter(sink, withHeader);
    std::unique_ptr<LogDecoder> decoder;
    if (encoding)
        decoder = std::make_unique<LogDecoder>(*encoding);

    for (;;) {
        const qint64 got = source.read(chunk.data() + filled, std::min(readSize, chunk.size() - filled));
        if (got < 0)
            return failure(LoadStatus::FileError, source.errorString());
        if (!afterRead(got))
            return failure(LoadStatus::Cancelled, QString());
        const bool atEnd = got == 0;
        filled += got;
        QByteArrayView bytes(chunk.constData(), filled);
        if (!decoder) {
            if (filled < 3 && !atEnd)
                continue; // the encoding is known once a mark could have been seen whole
            qsizetype mark = 0;
            decoder = std::make_unique<LogDecoder>(detectEncoding(bytes, &mark));
            bytes = bytes.sliced(mark);
        }
        filled = 0;
        if (pending.size() < pendingSize + bytes.size() + 4)
            pending.resize(pendingSize + bytes.size() + 4);
        char16_t *text = reinterpret_cast<char16_t *>(pending.data());
        pendingSize += decoder->decode(bytes, text + pendingSize, atEnd);
        const qsizetype used = splitter.feed(text, pendingSize, atEnd);
        // Only the unfinished line moves, and only when lines ended before it: it then began within
        // this chunk, so the move is never longer than a chunk.
        if (used > 0) {
            std::memmove(text, text + used, (pendingSize - used) * sizeof(char16_t));
            pendingSize -= used;
        }
        if (atEnd)
            break;
    }
    return LoadResult{LoadStatus::Loaded, QString(), {}};
}

// Hands every record's line of the device to sink.addLine, in file order, in one pass from where the
// device stands; the status says how it ended.
template <typename LineSink> LoadResult readLines(QIODevice &file, const LoadOptions &options, LineSink &sink)
{
    // A file cut short while it is read loads as far as it still goes, which would pass for the whole
    // log; the size at the start tells. A pipe has no size, and a file that grows is read to its end.
    const qint64 sizeAtOpen = file.isSequential() ? 0 : file.size() - file.pos();
    qint64 total = 0;
    DeviceSource source(file);
    LoadResult result = splitLines(source, options.readSize, nullptr, true, sink, [&](qint64 got) {
        total += got;
        if (options.progress)
            options.progress(total, sizeAtOpen);
        return !(options.cancel && options.cancel->load(std::memory_order_relaxed));
    });
    if (result.status != LoadStatus::Loaded)
        return result;
    if (total < sizeAtOpen)
        return fileCutShort(total, sizeAtOpen);
    result.status = sink.empty() ? LoadStatus::NoLines : LoadStatus::Loaded;
    return result;
}

LoadResult readLog(QIODevice &file, const LoadOptions &options)
{
    LogBuilder builder;
    if (!file.isSequential())
        builder.expect(file.size() - file.pos());
    LoadResult result = readLines(file, options, builder);
    if (result.status == LoadStatus::Loaded) {
        result.log.ChatLog = builder.take();
        result.log.ChatNames = result.log.ChatLog.chatNames();
    }
    return result;
}

// The first CR or LF byte in [p, end), or end.
const char *findLineEndByte(const char *p, const char *end)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (mask)
            return p + std::countr_zero(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// The number of lines that end in [p, end): at CR LF, a lone CR or LF. crBefore tells whether the byte
// before p was a CR (then an LF at p ends no line of its own), and is left telling it of the byte
// before end.
qint64 countLineEnds(const char *p, const char *end, bool &crBefore)
{
    if (p == end)
        return 0;
    qint64 ends = *p == '\r' || (*p == '\n' && !crBefore);
    const char *q = p + 1;
#if defined(__SSE2__)
    // Sixteen bytes at a time into sixteen byte-wide counters, summed before any can overflow: this
    // runs over every byte of a search that passes most lines over unread, and must stay cheap.
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    while (end - q >= 16) {
        __m128i counts = _mm_setzero_si128();
        for (qsizetype round = std::min<qsizetype>((end - q) / 16, 255); round > 0; --round, q += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q - 1));
            const __m128i lineEnds = _mm_or_si128(
                _mm_cmpeq_epi8(v, cr), _mm_andnot_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(v, lf)));
            counts = _mm_sub_epi8(counts, lineEnds); // a line end compares as -1
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        ends += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
    }
#endif
    for (; q < end; ++q)
        ends += *q == '\r' || (*q == '\n' && q[-1] != '\r');
    crBefore = end[-1] == '\r';
    return ends;
}

#ifdef Q_OS_UNIX

// Reads [begin, end) of an open file at its own positions, so that parts of one file can be read at
// the same time; end < 0 reads on to the end of the file, however far it has grown.
class RangeSource {
public:
    RangeSource(int fd, qint64 begin, qint64 end) : fd_(fd), pos_(begin), end_(end) {}

    qint64 read(char *to, qsizetype size)
    {
        if (end_ >= 0)
            size = qsizetype(std::min<qint64>(size, end_ - pos_));
        if (size <= 0)
            return 0;
        ssize_t got = 0;
        do {
            got = ::pread(fd_, to, size_t(size), off_t(pos_));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            error_ = errno;
            return -1;
        }
        pos_ += got;
        return got;
    }
    QString errorString() const { return QString::fromLocal8Bit(std::strerror(error_)); }
    // After the end: whether the file ended before the range did.
    bool endedEarly() const { return end_ >= 0 && pos_ < end_; }
    qint64 pos() const { return pos_; }

private:
    int fd_;
    qint64 pos_;
    qint64 end_;
    int error_ = 0;
};

// A part of a file, parsed apart: its records number their chats by a table of their own.
struct FilePart {
    qint64 begin = 0;
    qint64 end = -1; // -1: to the end of the file
    ChatLogRecords records;
    LoadResult outcome;
    bool endedEarly = false;
};

// The first place at or after from (in [dataStart, ...), on a character unit's boundary) where a line
// starts: after an LF, after a CR LF, or after a CR that no LF follows; the end of the file when no
// line ends on the way. The bytes of CR and LF never occur inside another character in these
// encodings, and a UTF-8 decoder stops an unfinished sequence at them, so text cut there decodes as
// it does whole.
qint64 lineStartFrom(int fd, qint64 from, LogEncoding encoding, QString *error)
{
    const qint64 unit = encoding == LogEncoding::Utf16LE || encoding == LogEncoding::Utf16BE ? 2 : 1;
    auto unitAt = [&](const char *p) -> char16_t {
        const auto lo = static_cast<unsigned char>(p[0]);
        if (unit == 1)
            return lo;
        const auto hi = static_cast<unsigned char>(p[1]);
        return encoding == LogEncoding::Utf16LE ? char16_t(lo | hi << 8) : char16_t(hi | lo << 8);
    };
    constexpr qsizetype kBlock = 1 << 16;
    QByteArray block(kBlock, Qt::Uninitialized);
    qint64 at = from - unit; // the unit before from decides whether a line starts at from
    bool afterCr = false;    // the last unit seen was a CR
    for (;;) {
        RangeSource source(fd, at, -1);
        const qint64 got = source.read(block.data(), kBlock);
        if (got < 0) {
            *error = source.errorString();
            return -1;
        }
        const qsizetype usable = qsizetype(got - got % unit);
        if (usable == 0)
            return afterCr ? at : at + got; // the end of the file, an odd byte of UTF-16 included
        const char *p = block.constData(), *end = p + usable;
        if (afterCr)
            return unitAt(p) == u'\n' ? at + unit : at;
        while (p < end) {
            if (unit == 1) {
                p = findLineEndByte(p, end);
                if (p == end)
                    break;
            } else if (const char16_t u = unitAt(p); u != u'\r' && u != u'\n') {
                p += unit;
                continue;
            }
            const qint64 pos = at + (p - block.constData());
            if (unitAt(p) == u'\n')
                return pos + unit;
            // A CR: a line starts after it, or after the LF that completes it.
            if (p + unit < end)
                return unitAt(p + unit) == u'\n' ? pos + 2 * unit : pos + unit;
            afterCr = true;
            p += unit;
        }
        at += usable;
    }
}

// Reads a file in parts, cut at line ends, parsed by threads at once, and joins them in file order.
LoadResult readLogInParts(QFileDevice &file, int fd, int parts, int threads, const LoadOptions &options)
{
    const qint64 base = file.pos();
    const qint64 sizeAtOpen = file.size() - base;

    char head[3] = {};
    RangeSource headSource(fd, base, base + 3);
    qint64 headSize = 0;
    for (qint64 got = 1; got > 0 && headSize < 3; headSize += got) {
        got = headSource.read(head + headSize, 3 - headSize);
        if (got < 0)
            return failure(LoadStatus::FileError, headSource.errorString());
    }
    qsizetype mark = 0;
    const LogEncoding encoding = detectEncoding(QByteArrayView(head, headSize), &mark);
    const qint64 unit = encoding == LogEncoding::Utf16LE || encoding == LogEncoding::Utf16BE ? 2 : 1;
    const qint64 dataStart = base + mark;
    const qint64 dataUnits = std::max<qint64>(sizeAtOpen - mark, 0) / unit;

    // Each part starts at the first line start at or after its share of the file; a part that a long
    // line swallows whole is left empty.
    QList<FilePart> list(parts);
    list[0].begin = dataStart;
    for (int k = 1; k < parts; ++k) {
        const qint64 share = dataStart + unit * qint64((double(dataUnits) * k) / parts);
        qint64 start = list[k - 1].begin;
        if (share > start) {
            QString error;
            start = lineStartFrom(fd, share, encoding, &error);
            if (start < 0)
                return failure(LoadStatus::FileError, error);
        }
        list[k].begin = start;
        list[k - 1].end = start;
    }

    std::atomic<qint64> done{mark};
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    const qsizetype readSize = options.readSize;
    auto parse = [&](FilePart &part, bool first, bool reporting) {
        try {
            RangeSource source(fd, part.begin, part.end);
            LogBuilder builder;
            builder.expect(part.end >= 0 ? part.end - part.begin : sizeAtOpen + base - part.begin);
            part.outcome = splitLines(source, readSize, &encoding, first, builder, [&](qint64 got) {
                const qint64 sofar = done.fetch_add(got, std::memory_order_relaxed) + got;
                if (reporting && options.progress)
                    options.progress(sofar, sizeAtOpen);
                return !stop.load(std::memory_order_relaxed) &&
                       !(options.cancel && options.cancel->load(std::memory_order_relaxed));
            });
            if (part.outcome.status == LoadStatus::Loaded) {
                part.endedEarly = source.endedEarly();
                part.records = builder.take();
            }
        } catch (const std::bad_alloc &) {
            part.outcome = failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
        }
        if (part.outcome.status != LoadStatus::Loaded)
            stop = true; // the load has failed: the other parts need not go on
    };
    FilePart *const shares = list.data(); // the list itself is not touched while threads work
    auto work = [&](bool reporting) {
        for (int k = next++; k < parts; k = next++)
            parse(shares[k], shares[k].begin == dataStart, reporting); // the part that holds the header
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
    const bool cancelled = std::any_of(list.cbegin(), list.cend(), [](const FilePart &part) {
        return part.outcome.status == LoadStatus::Cancelled;
    });
    for (const FilePart &part : std::as_const(list)) {
        if (part.outcome.status != LoadStatus::Loaded && part.outcome.status != LoadStatus::Cancelled)
            return part.outcome;
    }
    if (cancelled)
        return failure(LoadStatus::Cancelled, QString());
    const qint64 total = done.load();
    if (options.progress)
        options.progress(total, sizeAtOpen);
    file.seek(base + total); // where reading it in one go would have left it
    if (total < sizeAtOpen ||
        std::any_of(list.cbegin(), list.cend(), [](const FilePart &part) { return part.endedEarly; }))
        return fileCutShort(total, sizeAtOpen);

    LoadResult result;
    for (FilePart &part : list)
        result.log.ChatLog.append(std::move(part.records));
    result.log.ChatNames = result.log.ChatLog.chatNames();
    result.status = result.log.ChatLog.isEmpty() ? LoadStatus::NoLines : LoadStatus::Loaded;
    return result;
}

// A part for about this many bytes, so that the work stays even when one core is slower than another.
constexpr qint64 kPartBytes = qint64(32) << 20;
// Below this, starting threads costs more than they save.
constexpr qint64 kPartsFrom = qint64(4) << 20;

#endif

LoadResult loadLog(QIODevice &device, const LoadOptions &options)
{
#ifdef Q_OS_UNIX
    auto *file = qobject_cast<QFileDevice *>(&device);
    const int fd = file && !device.isSequential() ? file->handle() : -1;
    if (fd >= 0) {
        const qint64 size = device.size() - device.pos();
        const int cores = std::max(QThread::idealThreadCount(), 1);
        qint64 parts = options.parts;
        if (parts <= 0)
            parts = size < kPartsFrom || cores < 2
                        ? 1
                        : std::max<qint64>(cores, (size + kPartBytes - 1) / kPartBytes);
        parts = std::min<qint64>(parts, std::max<qint64>(size, 1));
        if (parts > 1)
            return readLogInParts(*file, fd, int(parts), int(std::min<qint64>(parts, cores)), options);
    }
#endif
    return readLog(device, options);
}

// Classifies each line and hands it on without keeping it.
class LineForwarder {
public:
    LineForwarder(const std::function<void(const LogLine &)> &sink, const QStringList &onlyChats,
                  const QString &textContains)
        : sink_(sink), onlyChats_(onlyChats), textContains_(textContains)
    {
    }

    void addLine(QStringView line, qint64 number)
    {
        const detail::LineShape shape = detail::shapeOfLine(line, &dates_);
        LogLine out;
        out.line = line;
        out.number = number;
        out.chatName = shape.kind == detail::LineKind::Public ? QStringView(kPublicChatName) : shape.chatName;
        out.textStart = shape.textStart;
        out.timeStamp = shape.timeStamp;
        out.isChannel = shape.kind == detail::LineKind::Channel;
        out.isTell = shape.kind == detail::LineKind::Tell;
        out.isGameFeedback = shape.isGameFeedback;
        empty_ = false;
        if ((onlyChats_.isEmpty() || onlyChats_.contains(out.chatName)) &&
            (textContains_.isEmpty() || out.text().contains(textContains_)))
            sink_(out);
    }
    // Records were passed over unread, since they cannot be of a chat asked for.
    void skipLine() { empty_ = false; }
    bool empty() const { return empty_; }

private:
    const std::function<void(const LogLine &)> &sink_;
    const QStringList &onlyChats_;
    const QString &textContains_;
    DateCache dates_;
    bool empty_ = true;
};

// The bytes of every chat name (or text) asked for as the file holds them, so that a line none of them
// occurs in is passed over before it is decoded: a line's chat name, like its text, is a part of it. Nothing
// when every line must be decoded: all chats wanted, a wanted name that lines without a name of their own
// have (the public chat, the empty name), an encoding whose characters are not bytes of their own,
// or a name with the character that stands for undecodable bytes. A name the encoding cannot hold
// occurs in no line and has no bytes.
std::optional<QList<QByteArray>> namesAsBytes(LogEncoding encoding, const QStringList &onlyChats)
{
#ifdef Q_OS_WIN
    if (encoding == LogEncoding::Ansi)
        return std::nullopt; // the system's code page may have characters of two bytes
#endif
    if (onlyChats.isEmpty() || (encoding != LogEncoding::Ansi && encoding != LogEncoding::Utf8))
        return std::nullopt;
    QList<QByteArray> names;
    for (const QString &name : onlyChats) {
        if (name.isEmpty() || name == kPublicChatName)
            return std::nullopt;
        if (encoding == LogEncoding::Utf8) {
            if (name.contains(QChar::ReplacementCharacter))
                return std::nullopt;
            const bool whole =
                std::none_of(name.cbegin(), name.cend(), [](QChar c) { return c.isSurrogate(); });
            if (whole && !name.contains(u'\r') && !name.contains(u'\n'))
                names.append(name.toUtf8());
            // A lone surrogate half or a line end is in no decoded line.
            continue;
        }
        QByteArray bytes(name.size(), Qt::Uninitialized);
        if (detail::narrowWindows1252(reinterpret_cast<const char16_t *>(name.utf16()), name.size(),
                                      bytes.data()) == name.size() &&
            !name.contains(u'\r') && !name.contains(u'\n'))
            names.append(bytes);
    }
    return names;
}

// Finds where some names occur in a chunk of bytes, each name searched for once per chunk however many
// places are asked about.
class NameFinder {
public:
    explicit NameFinder(const QList<QByteArray> &names) : names_(names), next_(names.size(), -1) {}

    // A new chunk: every name is searched for again from its start.
    void reset(QByteArrayView chunk)
    {
        chunk_ = chunk;
        std::fill(next_.begin(), next_.end(), -1);
    }
    // The first place at or after from where one of the names starts, or -1; from must not decrease.
    qsizetype next(qsizetype from)
    {
        qsizetype first = kNowhere;
        for (qsizetype k = 0; k < names_.size(); ++k) {
            qsizetype &at = next_[k];
            if (at < from && at != kNowhere) {
                const qsizetype found = find(names_[k], from);
                at = found < 0 ? kNowhere : found;
            }
            first = std::min(first, at);
        }
        return first == kNowhere ? -1 : first;
    }

private:
    static constexpr qsizetype kNowhere = std::numeric_limits<qsizetype>::max();

    // Where name occurs first in the chunk at or after from, or -1. The C library's search takes many
    // bytes a step; the general ones compare at every position.
    qsizetype find(const QByteArray &name, qsizetype from) const
    {
        const char *begin = chunk_.data() + from, *end = chunk_.data() + chunk_.size();
#ifdef __GLIBC__
        const void *at = ::memmem(begin, size_t(end - begin), name.constData(), size_t(name.size()));
        return at ? static_cast<const char *>(at) - chunk_.data() : -1;
#else
        const char *at =
            std::search(begin, end, std::boyer_moore_horspool_searcher(name.cbegin(), name.cend()));
        return at == end ? -1 : at - chunk_.data();
#endif
    }

    const QList<QByteArray> &names_;
    QList<qsizetype> next_; // where each name occurs next in the chunk, at or after the place asked about
    QByteArrayView chunk_;
};

// Reads a device as splitLines does, but looks for the bytes of the wanted names first and decodes only
// the lines they occur in; the other lines are not even split. For encodings in which CR and LF are
// bytes of their own that no other character holds, and in which a decoder stops an unfinished
// sequence at them: a line decoded with its line end then reads as it does in the whole file. A CR LF
// cut by a read needs no care: lines are found from the names, and an empty line is no record.
template <typename Source, typename AfterRead>
LoadResult splitNamedLines(Source &source, qsizetype readSize, LogEncoding encoding, qsizetype mark,
                           const QList<QByteArray> &names, LineForwarder &forwarder, AfterRead &&afterRead)
{
    readSize = std::max<qsizetype>(readSize, 1);
    QByteArray buffer; // the unfinished line of the last chunk, then the new chunk
    qsizetype kept = 0, markLeft = mark;
    bool headerSeen = false;
    LogDecoder decoder(encoding);
    QString decoded;
    NameFinder finder(names);
    auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
    // Lines are numbered by counting the line ends of the lines passed over too.
    qint64 linesEnded = 0;
    bool crBefore = false;

    for (;;) {
        if (buffer.size() < kept + readSize)
            buffer.resize(kept + readSize);
        const qint64 got = source.read(buffer.data() + kept, readSize);
        if (got < 0)
            return failure(LoadStatus::FileError, source.errorString());
        if (!afterRead(got))
            return failure(LoadStatus::Cancelled, QString());
        const bool atEnd = got == 0;
        qsizetype size = kept + qsizetype(got);
        if (markLeft > 0) {
            const qsizetype drop = std::min(markLeft, size);
            std::memmove(buffer.data(), buffer.data() + drop, size_t(size - drop));
            size -= drop;
            markLeft -= drop;
        }
        const char *data = buffer.constData();
        // The complete lines end after the last line end; at the end of the file, the last line ends
        // there. The bytes kept from the last chunk hold no line end.
        qsizetype complete = size;
        if (!atEnd) {
            while (complete > kept && !isLineEnd(data[complete - 1]))
                --complete;
            if (complete == kept)
                complete = 0;
        }
        qsizetype pos = 0;
        if (!headerSeen && complete > 0) {
            pos = std::min<qsizetype>(findLineEndByte(data, data + complete) - data + 1, complete);
            headerSeen = true;
        }
        if (forwarder.empty() &&
            std::any_of(data + pos, data + complete, [&](char c) { return !isLineEnd(c); }))
            forwarder.skipLine(); // a record, of whichever chat

        finder.reset(QByteArrayView(data, complete));
        qsizetype counted = 0; // linesEnded holds the line ends before data + counted
        for (qsizetype hit = finder.next(pos); hit >= 0; hit = finder.next(pos)) {
            qsizetype begin = hit;
            while (begin > pos && !isLineEnd(data[begin - 1]))
                --begin;
            linesEnded += countLineEnds(data + counted, data + begin, crBefore);
            counted = begin;
            const qsizetype end = findLineEndByte(data + hit, data + complete) - data;
            const qsizetype withEnd = std::min(end + 1, complete);
            const QByteArrayView bytes(data + begin, withEnd - begin);
            if (decoded.size() < bytes.size() + 4)
                decoded.resize(bytes.size() + 4);
            char16_t *text = reinterpret_cast<char16_t *>(decoded.data());
            const qsizetype n = decoder.decode(bytes, text, true) - (withEnd - end);
            forwarder.addLine(QStringView(text, n), linesEnded + 1);
            pos = withEnd;
        }
        linesEnded += countLineEnds(data + counted, data + complete, crBefore);

        std::memmove(buffer.data(), buffer.data() + complete, size_t(size - complete));
        kept = size - complete;
        if (atEnd)
            break;
    }
    return LoadResult{LoadStatus::Loaded, QString(), {}};
}

// Gives back the bytes read ahead to learn the encoding, then reads on from the device.
class PrefixedSource {
public:
    PrefixedSource(QByteArray head, QIODevice &device) : head_(std::move(head)), device_(device) {}
    qint64 read(char *to, qsizetype size)
    {
        if (head_.isEmpty())
            return device_.read(to, size);
        const qsizetype n = std::min(size, head_.size());
        std::memcpy(to, head_.constData(), size_t(n));
        head_.remove(0, n);
        return n;
    }
    QString errorString() const { return device_.errorString(); }

private:
    QByteArray head_;
    QIODevice &device_;
};

LoadResult readNamedLines(QIODevice &file, const LoadOptions &options, LineForwarder &forwarder,
                          const QStringList &onlyChats, const QString &textContains)
{
    const qint64 sizeAtOpen = file.isSequential() ? 0 : file.size() - file.pos();
    // The encoding first, from the first bytes, which are then read again by the splitter.
    QByteArray head(3, Qt::Uninitialized);
    qsizetype headSize = 0;
    for (qint64 got = 1; got > 0 && headSize < head.size(); headSize += got) {
        got = file.read(head.data() + headSize, head.size() - headSize);
        if (got < 0)
            return failure(LoadStatus::FileError, file.errorString());
    }
    head.truncate(headSize);
    qsizetype mark = 0;
    const LogEncoding encoding = detectEncoding(head, &mark);
    // The text asked for usually rules out more lines than the chats do; either is a part of the line.
    std::optional<QList<QByteArray>> names;
    if (!textContains.isEmpty())
        names = namesAsBytes(encoding, {textContains});
    if (!names)
        names = namesAsBytes(encoding, onlyChats);

    qint64 total = 0;
    PrefixedSource source(head, file);
    auto afterRead = [&](qint64 got) {
        total += got;
        if (options.progress)
            options.progress(total, sizeAtOpen);
        return !(options.cancel && options.cancel->load(std::memory_order_relaxed));
    };
    LoadResult result =
        names ? splitNamedLines(source, options.readSize, encoding, mark, *names, forwarder, afterRead)
              : splitLines(source, options.readSize, nullptr, true, forwarder, afterRead);
    if (result.status != LoadStatus::Loaded)
        return result;
    if (total < sizeAtOpen)
        return fileCutShort(total, sizeAtOpen);
    result.status = forwarder.empty() ? LoadStatus::NoLines : LoadStatus::Loaded;
    return result;
}

} // namespace

LoadResult LoadChatLog(const QString &path, const LoadOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(LoadStatus::FileError, file.errorString());
    return LoadChatLog(file, options);
}

LoadResult LoadChatLog(QIODevice &device, const LoadOptions &options)
{
    try {
        return loadLog(device, options);
    } catch (const std::bad_alloc &) {
        // Whatever was read so far was freed on the way here, so there is room to say so.
        return failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
}

LoadResult readLogLines(QIODevice &device, const LoadOptions &options,
                        const std::function<void(const LogLine &)> &sink, const QStringList &onlyChats,
                        const QString &textContains)
{
    try {
        LineForwarder forwarder(sink, onlyChats, textContains);
        return readNamedLines(device, options, forwarder, onlyChats, textContains);
    } catch (const std::bad_alloc &) {
        return failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
}

} // namespace modMain
