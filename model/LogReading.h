#pragma once

#include <QByteArray>
#include <QHash>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

#include "ChatNameTable.h"
#include "CodePage1252.h"
#include "LineParser.h"
#include "LineReader.h"
#include "TextCodec.h"
#include "modMain.h"

class QFileDevice;

// What the loader (in one go or in parts) and the line-by-line reader share: the records of a log built
// line by line, a source of bytes decoded and cut into the lines of records, and the status at the end.
namespace modMain::detail {

LoadResult failure(LoadStatus status, const QString &errorText);
LoadResult fileCutShort(qint64 read, qint64 sizeAtOpen);

// Whether the lines of a log in this encoding are split and classified on their bytes: those that hold
// windows-1252 (where every byte is a character) or ASCII (a UTF-8 line without bytes above 0x7F).
inline bool readsAsBytes(LogEncoding encoding)
{
#ifdef Q_OS_WIN
    if (encoding == LogEncoding::Ansi)
        return false; // the system's code page, which may have characters of two bytes
#endif
    return encoding == LogEncoding::Ansi || encoding == LogEncoding::Utf8;
}

// Chat names as the bytes of lines in windows-1252 hold them, each mapped to its index in a name table:
// a name is decoded once, when its bytes are first seen.
class ByteNameIndex {
public:
    ByteNameIndex() { std::fill(std::begin(recent_), std::end(recent_), -1); }

    // The index of name's bytes; addName(QStringView) interns the decoded name when they are new.
    template <typename AddName> quint32 intern(QByteArrayView name, AddName &&addName)
    {
        // Most lines find their name among the recent ones, by a cheap mix of its length and ends.
        const qsizetype slot = name.isEmpty() ? 0
                                              : (name.size() * 7 + static_cast<unsigned char>(name.front()) +
                                                 static_cast<unsigned char>(name.back()) * 3) %
                                                    kRecent;
        const qint64 known = recent_[slot];
        if (known >= 0) {
            const QByteArray &key = keys_.at(known);
            // An empty name's view may have no bytes to point at, which memcmp must not be given.
            if (key.size() == name.size() &&
                (name.isEmpty() || std::memcmp(key.constData(), name.data(), size_t(name.size())) == 0))
                return values_.at(known);
        }
        auto it = index_.constFind(QByteArray::fromRawData(name.data(), name.size()));
        if (it == index_.cend()) {
            QString decoded(name.size(), Qt::Uninitialized);
            widenWindows1252(name.data(), name.size(), reinterpret_cast<char16_t *>(decoded.data()));
            keys_.append(name.toByteArray());
            values_.append(addName(decoded));
            it = index_.insert(keys_.last(), quint32(keys_.size() - 1));
        }
        recent_[slot] = *it;
        return values_.at(*it);
    }

private:
    static constexpr qsizetype kRecent = 61;

    QList<QByteArray> keys_;           // every name's bytes seen, in order
    QList<quint32> values_;            // the table's index of each
    QHash<QByteArray, quint32> index_; // a name's bytes to its place in keys_
    qint64 recent_[kRecent];
};

// The chat of each line as an index into a name table of its own, the names in order of first
// appearance: "Public/Global" too joins the table where its first line stands.
class LineChats {
public:
    quint32 of(const LineShape &shape)
    {
        return shape.kind == LineKind::Public ? publicChat() : names_.intern(shape.chatName);
    }
    quint32 of(const ByteLineShape &shape)
    {
        return shape.kind == LineKind::Public
                   ? publicChat()
                   : bytes_.intern(shape.chatName, [this](QStringView name) { return names_.intern(name); });
    }
    const QStringList &names() const { return names_.names(); }

    DateCache dates; // of the lines of the same log or part

private:
    quint32 publicChat()
    {
        if (public_ < 0)
            public_ = qint64(names_.intern(kPublicChatName));
        return quint32(public_);
    }

    ChatNameTable names_;
    ByteNameIndex bytes_;
    qint64 public_ = -1;
};

// Builds the records of one log, or of one part of a file, apart from any loaded one, so that a failed
// load changes nothing.
class LogBuilder {
public:
    void addLine(QStringView line, qint64 /*number*/) { add(line, shapeOfLine(line, &chats_.dates)); }
    // The same for the bytes of a line in windows-1252 (or ASCII): its text is kept as it stands. The
    // line must stay as it is until linesRead().
    void addBytes(QByteArrayView line, qint64 /*number*/) { add(line, shapeOfBytes(line, &chats_.dates)); }
    // The lines given so far are all read: their records are added now, in batches being cheaper than
    // one by one, before the bytes they were read into are reused.
    void linesRead()
    {
        records_.appendRecords(pending_.data(), pendingCount_);
        pendingCount_ = 0;
    }

    // The bytes about to be read, when known: a line takes a few dozen of them and its text fewer.
    void expect(qint64 bytes)
    {
        if (bytes > 0)
            records_.reserve(qsizetype(bytes / kBytesPerRecord), qsizetype(bytes));
    }
    bool empty() const { return records_.isEmpty() && pendingCount_ == 0; }
    ChatLogRecords take()
    {
        linesRead();
        records_.squeeze();
        return std::move(records_);
    }

private:
    static constexpr qint64 kBytesPerRecord = 48;

    template <typename View> void add(View line, const BasicLineShape<View> &shape)
    {
        const quint32 chat = chats_.of(shape);
        // The records keep the table's string: the two share its characters.
        if (chat == quint32(records_.chatNames().size()))
            records_.addChatName(chats_.names()[chat]);
        const quint8 flags = (shape.kind == LineKind::Channel ? ChatLogRecords::Channel : 0) |
                             (shape.kind == LineKind::Tell ? ChatLogRecords::Tell : 0) |
                             (shape.isGameFeedback ? ChatLogRecords::GameFeedback : 0);
        if constexpr (std::is_same_v<View, QByteArrayView>) {
            pending_[pendingCount_++] = {line.sliced(shape.textStart), shape.timeStamp, chat, flags};
            if (pendingCount_ == kPending)
                linesRead();
        } else {
            linesRead(); // the records stay in the order of their lines
            records_.appendRecord(chat, shape.timeStamp, flags, line.sliced(shape.textStart));
        }
    }

    static constexpr qsizetype kPending = 256;

    ChatLogRecords records_;
    std::array<ChatLogRecords::ByteRecord, kPending> pending_;
    qsizetype pendingCount_ = 0;
    LineChats chats_;
};

// One pass over a device from where it stands: the bytes read, told to the progress callback after
// every read, the cancel flag, and the status at the end.
class DevicePass {
public:
    DevicePass(QIODevice &file, const LoadOptions &options)
        // A file cut short while it is read would pass for the whole log; the size at the start tells.
        // A pipe has no size, and a file that grows is read to its end.
        : options_(options), sizeAtOpen_(file.isSequential() ? 0 : file.size() - file.pos())
    {
    }

    // Hears of every read; false stops the pass, which is then Cancelled.
    bool operator()(qint64 got)
    {
        total_ += got;
        if (options_.progress)
            options_.progress(total_, sizeAtOpen_);
        return !(options_.cancel && options_.cancel->load(std::memory_order_relaxed));
    }

    // The outcome of a pass that ended as result says, having handed on records (or none).
    LoadResult finish(LoadResult result, bool noRecords) const
    {
        if (result.status != LoadStatus::Loaded)
            return result;
        if (total_ < sizeAtOpen_)
            return fileCutShort(total_, sizeAtOpen_);
        result.status = noRecords ? LoadStatus::NoLines : LoadStatus::Loaded;
        return result;
    }

private:
    const LoadOptions &options_;
    qint64 sizeAtOpen_;
    qint64 total_ = 0;
};

// Reads source to its end and hands every record's line to the sink, in order, with its number (from
// 1, counting every line of the source, the header and empty ones too): sink.addLine(QStringView, number)
// the decoded line, or, when the sink has addBytes and the encoding allows (readsAsBytes), a line of
// windows-1252 or ASCII bytes to sink.addBytes(QByteArrayView, number) undecoded. Without encoding,
// the encoding is read from a byte-order mark at the start; with it, the bytes are a part of a file in
// that encoding that starts at the start of a line, and withHeader says whether it is the file's first
// part. afterRead(bytes) hears of every read and returns false to stop the load, which is then
// Cancelled. Loaded says that the source was read to its end.
template <typename Source, typename LineSink, typename AfterRead>
LoadResult splitLines(Source &source, qsizetype readSize, const LogEncoding *encoding, bool withHeader,
                      LineSink &sink, AfterRead &&afterRead)
{
    constexpr bool kSinkTakesBytes = requires(QByteArrayView bytes)
    {
        sink.addBytes(bytes, qint64());
    };
    readSize = std::max<qsizetype>(readSize, 1);
    QByteArray chunk; // the reads while the text is decoded
    qsizetype filled = 0;
    // Decoded characters: the unfinished line of the previous chunk, then the new chunk.
    // A QString grows by realloc without filling its new room, so a line of any length costs no more
    // than its own characters: large blocks are moved by remapping pages, not by copying them.
    QString pending;
    qsizetype pendingSize = 0;
    // Read as bytes, the unfinished line and the new bytes, read into it behind that line.
    QByteArray pendingBytes;
    bool asBytes = false;
    bool readAll = false; // the last read found the end
    LineSplitter splitter;
    // The first line is the header; empty lines are no records.
    bool headerSeen = !withHeader;
    qint64 number = 0;
    auto line = [&](QStringView text) {
        ++number;
        if (!headerSeen)
            headerSeen = true;
        else if (!text.isEmpty())
            sink.addLine(text, number);
    };
    QString wideLine; // a UTF-8 line with more than ASCII, decoded
    std::optional<LogDecoder> lineDecoder;
    auto byteLine = [&](QByteArrayView bytes) {
        if (!headerSeen || bytes.isEmpty() || !lineDecoder || isAscii(bytes)) {
            if constexpr (kSinkTakesBytes) {
                ++number;
                if (!headerSeen)
                    headerSeen = true;
                else if (!bytes.isEmpty())
                    sink.addBytes(bytes, number);
            }
            return;
        }
        // A decoder stops an unfinished sequence at a line end, so the line decoded with its line end
        // (one character) reads as it does in the whole file; the last line of the file has none.
        const bool withEnd =
            !(readAll && bytes.data() + bytes.size() == pendingBytes.constData() + pendingSize);
        const QByteArrayView decoded(bytes.data(), bytes.size() + (withEnd ? 1 : 0));
        if (wideLine.size() < decoded.size() + 4)
            wideLine.resize(decoded.size() + 4);
        char16_t *text = reinterpret_cast<char16_t *>(wideLine.data());
        line(QStringView(text, lineDecoder->decode(decoded, text, true) - (withEnd ? 1 : 0)));
    };
    std::unique_ptr<LogDecoder> decoder;
    auto startBytes = [&](LogEncoding known) {
        asBytes = kSinkTakesBytes && readsAsBytes(known);
        if (asBytes && known == LogEncoding::Utf8)
            lineDecoder.emplace(known);
    };
    if (encoding) {
        decoder = std::make_unique<LogDecoder>(*encoding);
        startBytes(*encoding);
    }
    if (!asBytes) {
        // Room for a whole byte-order mark even when reads are smaller than one.
        chunk.resize(std::max<qsizetype>(readSize, 3));
    }

    for (;;) {
        // As bytes, reads go straight behind the unfinished line.
        if (asBytes && pendingBytes.size() < pendingSize + readSize)
            pendingBytes.resize(pendingSize + readSize);
        char *const to = asBytes ? pendingBytes.data() + pendingSize : chunk.data() + filled;
        const qint64 got = source.read(to, asBytes ? readSize : std::min(readSize, chunk.size() - filled));
        if (got < 0)
            return failure(LoadStatus::FileError, source.errorString());
        if (!afterRead(got))
            return failure(LoadStatus::Cancelled, QString());
        const bool atEnd = got == 0;
        readAll = atEnd;
        if (!asBytes) {
            filled += got;
            QByteArrayView bytes(chunk.constData(), filled);
            if (!decoder) {
                if (filled < 3 && !atEnd)
                    continue; // the encoding is known once a mark could have been seen whole
                qsizetype mark = 0;
                const LogEncoding found = detectEncoding(bytes, &mark);
                decoder = std::make_unique<LogDecoder>(found);
                bytes = bytes.sliced(mark);
                startBytes(found);
                if (asBytes) {
                    // The bytes of this first read are the start of the unfinished line.
                    pendingBytes = bytes.toByteArray();
                    pendingSize = 0;
                    filled = 0;
                }
            }
            if (!asBytes) {
                filled = 0;
                if (pending.size() < pendingSize + bytes.size() + 4)
                    pending.resize(pendingSize + bytes.size() + 4);
                char16_t *text = reinterpret_cast<char16_t *>(pending.data());
                pendingSize += decoder->decode(bytes, text + pendingSize, atEnd);
                const qsizetype used = splitter.feed(text, pendingSize, atEnd, line);
                // Only the unfinished line moves, and only when lines ended before it: it then began
                // within this chunk, so the move is never longer than a chunk.
                if (used > 0) {
                    std::memmove(text, text + used, (pendingSize - used) * sizeof(char16_t));
                    pendingSize -= used;
                }
                if (atEnd)
                    break;
                continue;
            }
            pendingSize += pendingBytes.size(); // what the first read brought
        } else {
            pendingSize += got;
        }
        char *bytes = pendingBytes.data();
        const qsizetype used = splitter.feed(static_cast<const char *>(bytes), pendingSize, atEnd, byteLine);
        if constexpr (requires { sink.linesRead(); })
            sink.linesRead(); // before the bytes of those lines move
        if (used > 0) {
            std::memmove(bytes, bytes + used, size_t(pendingSize - used));
            pendingSize -= used;
        }
        if (atEnd)
            break;
    }
    return LoadResult{LoadStatus::Loaded, QString(), {}};
}

// Loads the file in parts, cut at line starts and parsed by threads at once, when device is a file that
// can be read at any position and large enough (or options.parts asks for parts); nothing when it is to be
// read in one go.
std::optional<LoadResult> loadInParts(QIODevice &device, const LoadOptions &options);

} // namespace modMain::detail
