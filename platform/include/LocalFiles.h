#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

class QFile;

// Opening and comparing files of the local file system where the window and the registry reader need
// more care than QFile gives: they must never wait on a FIFO, and a save must know the file it would
// replace.
namespace localfiles {

// The text of the error that openRegularFile reports for anything but a regular file.
inline const QString kNotRegularFile = QStringLiteral("not a regular file");

// Paths here may name a file by bytes that are not valid UTF-8, escaped as NativeNames.h describes: as
// listFiles gives them and the command line passes them.

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

// The names (without folder) of the regular files of folder, and of symbolic links to one, for which
// wanted is true, in no particular order. Every name the folder holds is seen, one that is not valid
// UTF-8 too, so that each opens again by its folder, a separator and its name. False with the system's
// reason in *error when the folder cannot be listed.
bool listFiles(const QString &folder, const std::function<bool(QStringView name)> &wanted, QStringList *names,
               QString *error);

} // namespace localfiles
