#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

class QFile;
class QFileDevice;

// Opening, reading and comparing files of the local file system where the model, the window, the
// command-line tool and the registry reader need more care than QFile gives: they must never wait on a
// FIFO, must tell one file from another whatever its path, and read parts of one file at the same time.
// Paths come as a QString, or as the name's bytes as a command line gives them (UTF-8 on Windows). A
// QString may name a file by bytes that are not valid UTF-8, escaped as NativeNames.h describes: as
// listFiles gives them and the command line passes them.
namespace localfiles {

// The text of the error that openRegularFile reports for anything but a regular file.
inline const QString kNotRegularFile = QStringLiteral("not a regular file");

// What a file is, whatever its path: its device and inode (volume serial and file index on Windows).
struct FileIdentity {
    quint64 device = 0;
    quint64 file = 0;
    bool valid = false; // false when the file could not be asked
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The identity of the file that path names now, symbolic links followed; invalid when it names nothing.
FileIdentity identityOf(const QString &path);
FileIdentity identityOf(const QByteArray &nativePath);
// The identity of an open file; invalid when it has no handle.
FileIdentity identityOf(const QFileDevice &file);

// True when both paths name the same existing file (identityOf), so that a hard link or a symbolic link
// is caught as well as another spelling of the same path. False when either does not exist.
bool sameFile(const QByteArray &nativeA, const QByteArray &nativeB);
bool sameFile(const QString &a, const QString &b);

struct OpenOptions {
    // ReadOnly or WriteOnly, with Unbuffered where the caller reads past QFile's buffer. Writing never
    // creates or truncates: it is for writing into a device or a FIFO where it stands.
    QIODevice::OpenMode mode = QIODevice::ReadOnly;
    // Wait for the other end of a FIFO, as the system does; without it opening never waits, and the file
    // is read or written as usual once open.
    bool wait = false;
    // Anything but a regular file (or a symbolic link to one) is not kept open: NotRegular.
    bool regularOnly = false;
};

enum class OpenFailure {
    None,
    Missing,    // the path names nothing
    NoReader,   // a FIFO opened for writing without waiting, that no program reads
    NotRegular, // regularOnly, and the path names something else; the error is kNotRegularFile
    Other,      // the error says why
};

struct OpenOutcome {
    OpenFailure failure = OpenFailure::Other;
    QString error;        // the system's reason, unless failure is None
    bool regular = false; // what was opened is a regular file
    bool ok() const { return failure == OpenFailure::None; }
};

// Opens path in file (closed before), checking what it is on the opened file, so that nothing can swap
// the file between the check and the open. Reading a folder fails as reading it would.
OpenOutcome openFile(QFile &file, const QString &path, const OpenOptions &options);
OpenOutcome openFile(QFile &file, const QByteArray &nativePath, const OpenOptions &options);

// Opens path (a local path) for reading when it is a regular file, or a symbolic link to one. Anything
// else (a FIFO, a device, a socket, a folder) is not read and gives kNotRegularFile; opening never waits,
// so a FIFO cannot hang the caller. False with the reason in *error (when error is given).
bool openRegularFile(QFile &file, const QString &path, QString *error);

// Reads up to size bytes at offset of the open file whose handle (QFileDevice::handle()) is given,
// without moving anything that another reader of the same handle relies on, so that threads can read
// parts of one file at once. The bytes read; 0 at the end of the file; -1 with the system's reason in
// *error.
qint64 readAt(int handle, qint64 offset, char *to, qint64 size, QString *error);

// Writes all of bytes to the open file's handle (past QFile's buffer, which must be unused). A reader of a
// pipe that has gone away fails the write instead of ending the program. False with the system's reason.
bool writeAll(QFileDevice &file, QByteArrayView bytes, QString *error);

// The names (without folder) of the regular files of folder, and of symbolic links to one, for which
// wanted is true, in no particular order. Every name the folder holds is seen, one that is not valid
// UTF-8 too, so that each opens again by its folder, a separator and its name. False with the system's
// reason in *error when the folder cannot be listed.
bool listFiles(const QString &folder, const std::function<bool(QStringView name)> &wanted, QStringList *names,
               QString *error);

} // namespace localfiles
