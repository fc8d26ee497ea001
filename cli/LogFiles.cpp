#include "LogFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QDir>
#include <QFileInfo>
#endif

#include "NativeNames.h"
#include "PlatformPaths.h"
#include "modMain.h"

namespace chatlogcli {
namespace {

constexpr QByteArrayView kLogPrefix = "client_chat_log_";
constexpr QByteArrayView kLogSuffix = ".txt";

#ifdef Q_OS_UNIX
bool equalIgnoringAsciiCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

bool isLogName(QByteArrayView name)
{
    return name.size() > kLogPrefix.size() + kLogSuffix.size() &&
           equalIgnoringAsciiCase(name.first(kLogPrefix.size()), kLogPrefix) &&
           equalIgnoringAsciiCase(name.last(kLogSuffix.size()), kLogSuffix);
}
#endif

} // namespace

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
    const QString prefix = modMain::AddTrailingBackslash(folder);
#ifdef Q_OS_UNIX
    const QByteArray where = nativePath(folder);
    DIR *dir = ::opendir(where.constData());
    if (!dir) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    QList<QByteArray> names;
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        struct stat st {};
        // Only files: a FIFO so named would wait for a writer, a folder cannot be read.
        if (isLogName(name) && ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            names.append(name.toByteArray());
        errno = 0;
    }
    const int failed = errno;
    ::closedir(dir);
    if (failed != 0) {
        *error = QString::fromLocal8Bit(std::strerror(failed));
        return false;
    }
    std::sort(names.begin(), names.end());
    for (const QByteArray &name : std::as_const(names)) {
        const QString text = nativenames::fromNative(name);
        logs->append({prefix + text, text});
    }
#else
    const QFileInfo info(platformpaths::commandLinePath(folder));
    if (!info.isDir()) {
        // The reasons Linux gives, in the C runtime's words.
        *error = QString::fromLocal8Bit(std::strerror(info.exists() ? ENOTDIR : ENOENT));
        return false;
    }
    QDir dir(info.filePath());
    QStringList names =
        dir.entryList({QString::fromLatin1(kLogPrefix) + u'*' + QString::fromLatin1(kLogSuffix)},
                      QDir::Files | QDir::Readable | QDir::Hidden, QDir::NoSort);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.toUtf8() < b.toUtf8(); });
    for (const QString &name : std::as_const(names))
        logs->append({prefix + name, name});
#endif
    return true;
}

} // namespace chatlogcli
