#include <QByteArray>
#include <QList>

#include <algorithm>
#include <functional>
#include <limits>
#include <new>
#include <optional>

#include "CodePage1252.h"
#include "LogReading.h"

// readLogLines: a log's lines handed on one by one and kept nowhere; with chats or a text asked for, the
// lines that cannot hold them are passed over before they are decoded.
namespace modMain {
namespace {

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
    // Lines are numbered by counting the line ends of the lines passed over too.
    qint64 linesEnded = 0;
    bool crBefore = false;

    for (;;) {
        if (buffer.size() < kept + readSize)
            buffer.resize(kept + readSize);
        const qint64 got = source.read(buffer.data() + kept, readSize);
        if (got < 0)
            return detail::failure(LoadStatus::FileError, source.errorString());
        if (!afterRead(got))
            return detail::failure(LoadStatus::Cancelled, QString());
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
            const char *last = detail::findLastLineEnd(data + kept, data + size);
            complete = last ? last - data + 1 : 0;
        }
        qsizetype pos = 0;
        if (!headerSeen && complete > 0) {
            pos = std::min<qsizetype>(detail::findLineEnd(data, data + complete) - data + 1, complete);
            headerSeen = true;
        }
        if (forwarder.empty() &&
            std::any_of(data + pos, data + complete, [](char c) { return c != '\r' && c != '\n'; }))
            forwarder.skipLine(); // a record, of whichever chat

        finder.reset(QByteArrayView(data, complete));
        qsizetype counted = 0; // linesEnded holds the line ends before data + counted
        for (qsizetype hit = finder.next(pos); hit >= 0; hit = finder.next(pos)) {
            const char *before = detail::findLastLineEnd(data + pos, data + hit);
            const qsizetype begin = before ? before - data + 1 : pos;
            linesEnded += detail::countLineEnds(data + counted, data + begin, crBefore);
            counted = begin;
            const qsizetype end = detail::findLineEnd(data + hit, data + complete) - data;
            const qsizetype withEnd = std::min(end + 1, complete);
            const QByteArrayView bytes(data + begin, withEnd - begin);
            if (decoded.size() < bytes.size() + 4)
                decoded.resize(bytes.size() + 4);
            char16_t *text = reinterpret_cast<char16_t *>(decoded.data());
            const qsizetype n = decoder.decode(bytes, text, true) - (withEnd - end);
            forwarder.addLine(QStringView(text, n), linesEnded + 1);
            pos = withEnd;
        }
        linesEnded += detail::countLineEnds(data + counted, data + complete, crBefore);

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
    detail::DevicePass pass(file, options);
    // The encoding first, from the first bytes, which are then read again by the splitter.
    QByteArray head(3, Qt::Uninitialized);
    qsizetype headSize = 0;
    for (qint64 got = 1; got > 0 && headSize < head.size(); headSize += got) {
        got = file.read(head.data() + headSize, head.size() - headSize);
        if (got < 0)
            return detail::failure(LoadStatus::FileError, file.errorString());
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

    PrefixedSource source(head, file);
    LoadResult result =
        names ? splitNamedLines(source, options.readSize, encoding, mark, *names, forwarder, pass)
              : detail::splitLines(source, options.readSize, nullptr, true, forwarder, pass);
    return pass.finish(std::move(result), forwarder.empty());
}

} // namespace

LoadResult readLogLines(QIODevice &device, const LoadOptions &options,
                        const std::function<void(const LogLine &)> &sink, const QStringList &onlyChats,
                        const QString &textContains)
{
    try {
        LineForwarder forwarder(sink, onlyChats, textContains);
        return readNamedLines(device, options, forwarder, onlyChats, textContains);
    } catch (const std::bad_alloc &) {
        return detail::failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
}

} // namespace modMain
