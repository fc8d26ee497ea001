#include "LogFiles.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFileInfo>
#endif

#include "ChatLogFolder.h"
#include "LocalFiles.h"
#include "NativeNames.h"
#include "PlatformPaths.h"
#include "modMain.h"

namespace chatlogcli {

QString shownName(const QString &path)
{
    return path == kStandardInput ? QStringLiteral("(standard input)") : path;
}

QByteArray nativePath(const QString &path)
{
    return nativenames::toNative(platformpaths::commandLinePath(path));
}

bool openLog(QFile &file, const QString &path, QString *error)
{
    if (path == kStandardInput) {
#ifdef Q_OS_WIN
        // By its descriptor: read through the C runtime's buffer, the end of a pipe is an error.
        if (file.open(_fileno(stdin), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            return true;
#else
        if (file.open(stdin, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            return true;
#endif
        *error = file.errorString();
        return false;
    }
    // By the name's bytes, which QFile would not keep for a name that is not valid UTF-8; a FIFO is
    // waited for, as any command reading a named pipe does.
    localfiles::OpenOptions how;
    how.wait = true;
    const localfiles::OpenOutcome opened = localfiles::openFile(file, nativePath(path), how);
    if (!opened.ok())
        *error = opened.error;
    return opened.ok();
}

bool isFolder(const QString &path)
{
    if (path == kStandardInput)
        return false;
#ifdef Q_OS_UNIX
    struct stat st {};
    return ::stat(nativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
#else
    return QFileInfo(platformpaths::commandLinePath(path)).isDir();
#endif
}

bool sessionLogs(const QString &folder, QList<SessionLog> *logs, QString *error)
{
    logs->clear();
    QStringList names;
    if (!localfiles::listFiles(platformpaths::commandLinePath(folder), modMain::isSessionLogName, &names,
                               error))
        return false;
    modMain::sortSessionLogNames(names);
    const QString prefix = modMain::AddTrailingBackslash(folder);
    for (const QString &name : std::as_const(names))
        logs->append({prefix + name, name});
    return true;
}

} // namespace chatlogcli
