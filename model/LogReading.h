#pragma once

#include <QByteArray>
#include <QHash>
#include <QIODevice>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>

#include "ChatNameTable.h"
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

// Builds the records of one log, or of one part of a file, apart from any loaded one, so that a failed
// load changes nothing.
class LogBuilder {
public:
    void addLine(QStringView line, qint64 /*number*/)
    {
        const LineShape shape = shapeOfLine(line, &dates_);
        // Names are listed in order of first appearance: "Public/Global" too joins the table where its
        // first line stands.
        quint32 chat = 0;
        if (shape.kind == LineKind::Public) {
            if (publicIndex_ < 0)
                publicIndex_ = qint64(intern(kPublicChatName));
            chat = quint32(publicIndex_);
        } else {
            chat = intern(shape.chatName);
        }
        const quint8 flags = (shape.kind == LineKind::Channel ? ChatLogRecords::Channel : 0) |
                             (shape.kind == LineKind::Tell ? ChatLogRecords::Tell : 0) |
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
        const quint32 index = names_.intern(name);
        // The records keep the table's string: the two share its characters.
        if (index == quint32(records_.chatNames().size()))
            records_.addChatName(names_.names()[index]);
        return index;
    }

    ChatLogRecords records_;
    DateCache dates_;
    ChatNameTable names_;
    qint64 publicIndex_ = -1;
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

// Reads source to its end and hands every record's line to sink.addLine, in order, with its number (from
// 1, counting every line of the source, the header and empty ones too). Without encoding,
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
        const qsizetype used = splitter.feed(text, pendingSize, atEnd, line);
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

// Loads the file in parts, cut at line starts and parsed by threads at once, when device is a file that
// can be read at any position and large enough (or options.parts asks for parts); nothing when it is to be
// read in one go.
std::optional<LoadResult> loadInParts(QIODevice &device, const LoadOptions &options);

} // namespace modMain::detail
