#include <QFile>
#include <QHash>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "LineParser.h"
#include "TextArena.h"
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

// Builds the records of one log apart from any loaded one, so a failed load changes nothing.
class LogBuilder {
public:
    LogBuilder() { publicIndex_ = intern(kPublicChatName); }

    void addLine(QStringView line)
    {
        const detail::LineShape shape = detail::shapeOfLine(line, &dates_);
        const qsizetype nameIndex =
            shape.kind == detail::LineKind::Public ? publicIndex_ : intern(shape.chatName);
        // Built whole in its place: the strings are copy-constructed, never assigned.
        log_.ChatLog.emplace_back(
            ChatLine{shape.timeStamp, names_[nameIndex], shape.kind == detail::LineKind::Channel,
                     shape.kind == detail::LineKind::Tell, texts_.append(line.sliced(shape.textStart)),
                     shape.isGameFeedback, false});
        // Names are listed in order of first appearance, which is not the order of interning:
        // "Public/Global" is known from the start but listed where its first line stands.
        if (!listed_[nameIndex]) {
            listed_[nameIndex] = true;
            log_.ChatNames.append(names_[nameIndex]);
        }
    }

    bool empty() const { return log_.ChatLog.isEmpty(); }
    LoadedChatLog take() { return std::move(log_); }

private:
    // One shared string per distinct name; records copy it (a reference count, not the characters).
    qsizetype intern(QStringView name)
    {
        if (lastIndex_ >= 0 && detail::same(names_[lastIndex_], name))
            return lastIndex_;
        auto it = index_.constFind(NameKey{name});
        if (it != index_.cend()) {
            lastIndex_ = *it;
            return lastIndex_;
        }
        names_.append(name.toString());
        listed_.append(false);
        lastIndex_ = names_.size() - 1;
        index_.insert(NameKey{names_.last()}, lastIndex_); // the characters do not move with the list
        return lastIndex_;
    }

    LoadedChatLog log_;
    detail::TextArena texts_;
    DateCache dates_;
    QStringList names_;
    QList<bool> listed_;
    QHash<NameKey, qsizetype> index_;
    qsizetype lastIndex_ = -1;
    qsizetype publicIndex_ = -1;
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

// Splits decoded text into lines at CR LF, LF or a lone CR and hands them on; the first line is the
// header and empty lines are skipped. A line cut by the end of a chunk waits for the next one.
template <typename LineSink> class LineSplitter {
public:
    explicit LineSplitter(LineSink &sink) : sink_(sink) {}

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
        if (headerSeen_) {
            if (!line.isEmpty())
                sink_.addLine(line);
        } else {
            headerSeen_ = true;
        }
    }

    LineSink &sink_;
    bool headerSeen_ = false;
    qsizetype scanned_ = 0; // characters at the start of the next text known to hold no line end
};

LoadResult failure(LoadStatus status, const QString &errorText)
{
    LoadResult result;
    result.status = status;
    result.errorText = errorText;
    return result;
}

// Hands every record's line of the file to sink.addLine, in file order; the status says how it ended.
template <typename LineSink> LoadResult readLines(QIODevice &file, const LoadOptions &options, LineSink &sink)
{
    // A file cut short while it is read loads as far as it still goes, which would pass for the whole
    // log; the size at the start tells. A pipe has no size, and a file that grows is read to its end.
    const qint64 sizeAtOpen = file.isSequential() ? 0 : file.size() - file.pos();
    qint64 total = 0;

    const qsizetype readSize = std::max<qsizetype>(options.readSize, 1);
    // Room for a whole byte-order mark even when reads are smaller than one.
    QByteArray chunk(std::max<qsizetype>(readSize, 3), Qt::Uninitialized);
    qsizetype filled = 0;
    // Decoded characters: the unfinished line of the previous chunk, then the new chunk.
    // A QString grows by realloc without filling its new room, so a line of any length costs no more
    // than its own characters: large blocks are moved by remapping pages, not by copying them.
    QString pending;
    qsizetype pendingSize = 0;
    LineSplitter<LineSink> splitter(sink);
    std::unique_ptr<LogDecoder> decoder;

    for (;;) {
        if (options.cancel && options.cancel->load(std::memory_order_relaxed))
            return failure(LoadStatus::Cancelled, QString());
        const qint64 got = file.read(chunk.data() + filled, std::min(readSize, chunk.size() - filled));
        if (got < 0)
            return failure(LoadStatus::FileError, file.errorString());
        const bool atEnd = got == 0;
        filled += got;
        total += got;
        if (options.progress)
            options.progress(total, sizeAtOpen);
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

    if (total < sizeAtOpen) {
        return failure(LoadStatus::FileError,
                       QStringLiteral("The file became shorter while it was being read (%1 of %2 bytes)")
                           .arg(total)
                           .arg(sizeAtOpen));
    }
    LoadResult result;
    result.status = sink.empty() ? LoadStatus::NoLines : LoadStatus::Loaded;
    return result;
}

LoadResult readLog(QIODevice &file, const LoadOptions &options)
{
    LogBuilder builder;
    LoadResult result = readLines(file, options, builder);
    if (result.status == LoadStatus::Loaded)
        result.log = builder.take();
    return result;
}

// Classifies each line and hands it on without keeping it.
class LineForwarder {
public:
    LineForwarder(const std::function<void(const LogLine &)> &sink, const QStringList &onlyChats)
        : sink_(sink), onlyChats_(onlyChats)
    {
    }

    void addLine(QStringView line)
    {
        const detail::LineShape shape = detail::shapeOfLine(line, &dates_);
        LogLine out;
        out.line = line;
        out.chatName = shape.kind == detail::LineKind::Public ? QStringView(kPublicChatName) : shape.chatName;
        out.textStart = shape.textStart;
        out.timeStamp = shape.timeStamp;
        out.isChannel = shape.kind == detail::LineKind::Channel;
        out.isTell = shape.kind == detail::LineKind::Tell;
        out.isGameFeedback = shape.isGameFeedback;
        empty_ = false;
        if (onlyChats_.isEmpty() || onlyChats_.contains(out.chatName))
            sink_(out);
    }
    bool empty() const { return empty_; }

private:
    const std::function<void(const LogLine &)> &sink_;
    const QStringList &onlyChats_;
    DateCache dates_;
    bool empty_ = true;
};

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
        return readLog(device, options);
    } catch (const std::bad_alloc &) {
        // Whatever was read so far was freed on the way here, so there is room to say so.
        return failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
}

LoadResult ReadLogLines(QIODevice &device, const LoadOptions &options,
                        const std::function<void(const LogLine &)> &sink, const QStringList &onlyChats)
{
    try {
        LineForwarder forwarder(sink, onlyChats);
        return readLines(device, options, forwarder);
    } catch (const std::bad_alloc &) {
        return failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
}

} // namespace modMain
