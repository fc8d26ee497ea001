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

#include "LocalFiles.h"
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
        if (file.open(stdin, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            return true;
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
    QDir dir(platformpaths::commandLinePath(folder));
    if (!dir.exists()) {
        *error = QStringLiteral("No such folder");
        return false;
    }
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
