#include "LogFollower.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "LineReader.h"
#include "LocalFiles.h"

namespace modMain {
namespace {

constexpr qint64 kChunkSize = qint64(1) << 20;
constexpr qint64 kSmallChunkSize = qint64(1) << 16;
// A read stops after this much so that the window stays responsive while a large growth is caught up.
constexpr qint64 kMostPerRead = qint64(16) << 20;
// Enough of the bytes before the end of the last read to tell a file written anew from one appended to.
constexpr qsizetype kTailSize = 256;

bool readExactly(QFileDevice &file, qint64 at, qint64 size, QByteArray *bytes)
{
    bytes->resize(size);
    return file.seek(at) && file.read(bytes->data(), size) == size;
}

QString decodeWhole(QByteArrayView bytes, LogEncoding encoding)
{
    QString text(bytes.size() + 4, Qt::Uninitialized);
    LogDecoder decoder(encoding);
    text.resize(decoder.decode(bytes, reinterpret_cast<char16_t *>(text.data()), true));
    return text;
}

// Whether any record is of the chat name, looking from the end, where a chat's records usually are.
bool hasRecordOf(const ChatLogRecords &records, const QString &name)
{
    const qsizetype chat = records.chatNames().indexOf(name);
    if (chat < 0)
        return false;
    for (qsizetype s = records.segmentCount() - 1; s >= 0; --s) {
        const ChatLogRecords::Segment &segment = records.segment(s);
        for (qsizetype i = segment.size() - 1; i >= 0; --i) {
            if (segment.chat(i) == quint32(chat))
                return true;
        }
    }
    return false;
}

} // namespace

FollowedNames appendFollowed(LoadedChatLog &log, const FollowRead &read)
{
    FollowedNames names;
    if (read.dropsLast && !log.ChatLog.isEmpty()) {
        const QString chat = log.ChatLog.last().ChatName;
        log.ChatLog.removeLast();
        if (!hasRecordOf(log.ChatLog, chat)) {
            log.removeChatName(chat);
            names.dropped = chat;
        }
    }
    for (const ChatLine &record : read.records) {
        if (log.appendRecord(record))
            names.added.append(record.ChatName);
    }
    return names;
}

LogFollower::LogFollower(const QString &path, QFileDevice &importedFile)
    : path_(path), identity_(localfiles::identityOf(importedFile)), importedBytes_(importedFile.pos()),
      offset_(importedBytes_), lines_(std::make_unique<detail::LineSplitter>())
{
    // Kept from the import itself, so that the first read already tells a log written anew since.
    const qint64 tail = std::min<qint64>(kTailSize, importedBytes_);
    if (!readExactly(importedFile, importedBytes_ - tail, tail, &tail_))
        tail_.clear();
    importedFile.seek(importedBytes_);
}

LogFollower::~LogFollower() = default;
LogFollower::LogFollower(LogFollower &&) noexcept = default;
LogFollower &LogFollower::operator=(LogFollower &&) noexcept = default;

// Finds where the import's last line began, reading back from the end of the import, so that the
// first read takes that line up again: its end may not have been written when the import read it.
FollowStatus LogFollower::start(QFileDevice &file, QString *error)
{
    QByteArray bytes;
    const qint64 head = std::min<qint64>(3, importedBytes_);
    if (!readExactly(file, 0, head, &bytes)) {
        *error = file.errorString();
        return FollowStatus::ReadError;
    }
    qsizetype mark = 0;
    const LogEncoding encoding = detectEncoding(bytes, &mark);
    const qint64 unit = detail::unitSize(encoding);

    // Code units lie at whole steps from the mark; a unit cut by the end of the import belongs to the
    // unfinished line.
    const qint64 end = mark + std::max<qint64>(0, importedBytes_ - mark) / unit * unit;
    const detail::LineStart lineStart = detail::lineStartBefore(file.handle(), end, mark, encoding, error);
    if (lineStart.at < 0)
        return FollowStatus::ReadError;

    if (!lineStart.found) {
        // No line has ended yet: the import read nothing but part of the header.
        offset_ = mark;
        headerSeen_ = false;
    } else {
        offset_ = lineStart.at;
        headerSeen_ = true;
        lines_->setAfterCr(lineStart.afterCr);
        if (lineStart.at < importedBytes_) {
            if (!readExactly(file, lineStart.at, importedBytes_ - lineStart.at, &bytes)) {
                *error = file.errorString();
                return FollowStatus::ReadError;
            }
            // Decoded as the import decoded it, at the end of its bytes.
            importedPartial_ = decodeWhole(bytes, encoding);
            partialImported_ = !importedPartial_.isEmpty();
        }
    }
    // The reads go on from offset_: what lies before it is what they check.
    if (!readExactly(file, std::max<qint64>(0, offset_ - kTailSize), std::min<qint64>(offset_, kTailSize),
                     &tail_)) {
        *error = file.errorString();
        return FollowStatus::ReadError;
    }
    decoder_ = std::make_unique<LogDecoder>(encoding);
    started_ = true;
    return FollowStatus::Read;
}

FollowRead LogFollower::readAppended()
{
    FollowRead out;
    auto fail = [&out](FollowStatus status, const QString &error = QString()) {
        out.status = status;
        out.errorText = error;
        out.records.clear();
        out.dropsLast = false;
        out.more = false;
        return out;
    };

    const localfiles::FileIdentity named = localfiles::identityOf(path_);
    if (!named.valid) {
        if (!QFileInfo::exists(path_))
            return fail(FollowStatus::Removed);
    } else if (named != identity_) {
        return fail(FollowStatus::Replaced);
    }

    // Never waits: should a FIFO take the file's place between the check and the open, the identity
    // below tells it.
    QFile file;
    localfiles::OpenOptions how;
    how.mode = QIODevice::ReadOnly | QIODevice::Unbuffered;
    if (const localfiles::OpenOutcome opened = localfiles::openFile(file, path_, how); !opened.ok())
        return fail(opened.failure == localfiles::OpenFailure::Missing ? FollowStatus::Removed
                                                                       : FollowStatus::ReadError,
                    opened.error);
    if (localfiles::identityOf(file) != identity_)
        return fail(FollowStatus::Replaced);

    const qint64 size = file.size();
    if (size < offset_)
        return fail(FollowStatus::Shrunk);
    QByteArray chunk;
    if (!tail_.isEmpty()) {
        if (!readExactly(file, offset_ - tail_.size(), tail_.size(), &chunk))
            return fail(FollowStatus::ReadError, file.errorString());
        if (chunk != tail_)
            return fail(FollowStatus::Rewritten);
    }
    if (!started_) {
        QString error;
        const FollowStatus status = start(file, &error);
        if (status != FollowStatus::Read)
            return fail(status, error);
    }
    if (!file.seek(offset_))
        return fail(FollowStatus::ReadError, file.errorString());

    QString text;
    // Sized to what is there: most reads bring a few lines, and a large buffer would cost more than
    // reading them.
    const qint64 bufferSize = std::clamp(size - offset_, kSmallChunkSize, kChunkSize);
    for (qint64 total = 0;;) {
        chunk.resize(bufferSize);
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0)
            return fail(FollowStatus::ReadError, file.errorString());
        if (got == 0)
            break;
        chunk.resize(got);
        offset_ += got;
        tail_ = got >= kTailSize ? chunk.right(kTailSize) : (tail_ + chunk).right(kTailSize);
        text.resize(got + 4);
        text.resize(decoder_->decode(chunk, reinterpret_cast<char16_t *>(text.data())));
        addText(text, out);
        total += got;
        if (total >= kMostPerRead) {
            out.more = true;
            break;
        }
    }
    return out;
}

void LogFollower::addText(QStringView text, FollowRead &out)
{
    // An LF that the last read cut from its CR is the rest of that line end, which the splitter skips;
    // the import took it for a line of its own.
    if (partialImported_ && lines_->afterCr() && text.startsWith(u'\n'))
        settleImportedLine(QStringView(), out);
    pending_.append(text);
    const qsizetype used =
        lines_->feed(reinterpret_cast<const char16_t *>(pending_.constData()), pending_.size(), false,
                     [&](QStringView line) { lineEnded(line, out); });
    pending_.remove(0, used);
}

void LogFollower::lineEnded(QStringView line, FollowRead &out)
{
    if (!headerSeen_) {
        headerSeen_ = true;
        return;
    }
    if (partialImported_) {
        settleImportedLine(line, out);
        return;
    }
    if (!line.isEmpty())
        out.records.append(ParseChatLine(line.toString()));
}

void LogFollower::settleImportedLine(QStringView line, FollowRead &out)
{
    partialImported_ = false;
    const bool unchanged = line == importedPartial_;
    importedPartial_.clear();
    if (unchanged)
        return; // the import's record is the line's
    out.dropsLast = true;
    if (!line.isEmpty())
        out.records.append(ParseChatLine(line.toString()));
}

} // namespace modMain
