#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

#include "LocalFiles.h"
#include "TextCodec.h"
#include "modMain.h"

class QFileDevice;

namespace modMain {

namespace detail {
class LineSplitter;
}

enum class FollowStatus {
    Read,      // records holds what was appended since the last read (possibly nothing)
    Shrunk,    // the file is shorter than what has been read of it
    Rewritten, // the bytes before the end of the last read (or of the import) changed: written anew
    Replaced,  // the path names another file than the one imported
    Removed,   // the path names no file any more
    ReadError, // the file could not be opened or read; errorText says why
};

struct FollowRead {
    FollowStatus status = FollowStatus::Read;
    QString errorText;
    // The records of the lines completed since the last read, in file order, as LoadChatLog would
    // make them.
    QList<ChatLine> records;
    // The last record read before these is dropped before they are added: the import read a last line
    // whose end had not been written yet, and the line went on (records then begins with what it
    // became) or turned out to be the rest of a line end.
    bool dropsLast = false;
    // More bytes are waiting than one read takes; read again soon.
    bool more = false;
};

// What appendFollowed did to the log's chat names.
struct FollowedNames {
    // A name that went with the dropped record, its chat's only one; null when none did. It was the
    // last name, as its record was the last.
    QString dropped;
    // The names first seen in the read, in their order, added after the others.
    QStringList added;
};

// Applies a read to the log it follows, in place: with dropsLast the last record goes, then the read's
// records come at the end; the chat names stay in order of first appearance. The log is then what
// LoadChatLog gives for the file as far as the follower has read it.
FollowedNames appendFollowed(LoadedChatLog &log, const FollowRead &read);

// Reads what is appended to a log after its import, a read at a time. The records of the import
// followed by those of every read (with dropsLast applied) are the records LoadChatLog gives for
// the file as it stands after the last read, less a last line whose end is not written yet: that line
// waits for its end. The follower stops being useful once a read reports anything but Read.
class LogFollower {
public:
    // Follows the log at path, which importedFile is open on: the import read it from its start to
    // importedFile.pos(). Only the import's last bytes are read again here, to tell a log written anew
    // later; importedFile is left at the same position.
    LogFollower(const QString &path, QFileDevice &importedFile);
    ~LogFollower();
    LogFollower(LogFollower &&) noexcept;
    LogFollower &operator=(LogFollower &&) noexcept;

    const QString &path() const { return path_; }

    // Reads the bytes appended since the last read (or since the import) and returns the records of
    // the lines they complete. The first read also reads back to the start of the import's last line,
    // which the import may have read before its end was written.
    FollowRead readAppended();

private:
    FollowStatus start(QFileDevice &file, QString *error);
    void addText(QStringView text, FollowRead &out);
    void lineEnded(QStringView line, FollowRead &out);
    // The import's unfinished last line has ended as line: its record stays, or is dropped.
    void settleImportedLine(QStringView line, FollowRead &out);

    QString path_;
    localfiles::FileIdentity identity_;
    qint64 importedBytes_ = 0;
    bool started_ = false;

    qint64 offset_ = 0; // bytes read so far (by the import, before the first read)
    QByteArray tail_;   // the last bytes before offset_, to tell a file written anew
    std::unique_ptr<LogDecoder> decoder_;
    QString pending_; // the decoded line whose end has not come yet
    std::unique_ptr<detail::LineSplitter> lines_;
    bool headerSeen_ = false;
    // The import made a record of the last line, whose end had not come yet: this is its text then.
    QString importedPartial_;
    bool partialImported_ = false;
};

} // namespace modMain
