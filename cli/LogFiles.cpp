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
        if (file.open(stdin, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            return true;
        *error = file.errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    // By the name's bytes, which QFile would not keep for a name that is not valid UTF-8.
    int fd = -1;
    do {
        fd = ::open(nativePath(path).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        fd = -1;
        errno = EISDIR;
    }
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(platformpaths::commandLinePath(path));
    if (file.open(QIODevice::ReadOnly))
        return true;
    *error = file.errorString();
    return false;
#endif
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
