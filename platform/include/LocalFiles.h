#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Opening and comparing files of the local file system where the window and the registry reader need
// more care than QFile gives: they must never wait on a FIFO, and a save must know the file it would
// replace.
namespace localfiles {

// The text of the error that openRegularFile reports for anything but a regular file.
inline const QString kNotRegularFile = QStringLiteral("not a regular file");

// Opens path (a local path) for reading when it is a regular file, or a symbolic link to one. Anything
// else (a FIFO, a device, a socket, a folder) is not read and gives kNotRegularFile; the check is made on
// the opened file and opening never waits, so a FIFO cannot hang the caller. False with the reason in
// *error (when error is given).
bool openRegularFile(QFile &file, const QString &path, QString *error);

// True when both paths (in the file system's own encoding, as QFile::encodeName gives them) name the same
// existing file: the same device and inode, so that a hard link or a symbolic link is caught as well as
// another spelling of the same path. False when either does not exist.
bool sameFile(const QByteArray &nativeA, const QByteArray &nativeB);
bool sameFile(const QString &a, const QString &b);

} // namespace localfiles
