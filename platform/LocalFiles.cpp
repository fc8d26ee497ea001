#include "LocalFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "NativeNames.h"

namespace localfiles {

bool openRegularFile(QFile &file, const QString &path, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
#ifdef Q_OS_UNIX
    // Opened without waiting (a FIFO would otherwise wait for a writer) and checked once open, so that
    // nothing can swap the file between the check and the open.
    int fd = -1;
    do {
        fd = ::open(nativenames::toNative(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(kNotRegularFile);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (!QFileInfo(path).isFile()) {
        file.close();
        return fail(kNotRegularFile);
    }
    return true;
#endif
}

bool sameFile(const QByteArray &nativeA, const QByteArray &nativeB)
{
#ifdef Q_OS_UNIX
    struct stat a {
    }, b{};
    return ::stat(nativeA.constData(), &a) == 0 && ::stat(nativeB.constData(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
#else
    const QString canonicalA = QFileInfo(QFile::decodeName(nativeA)).canonicalFilePath();
    return !canonicalA.isEmpty() &&
           canonicalA.compare(QFileInfo(QFile::decodeName(nativeB)).canonicalFilePath(),
                              Qt::CaseInsensitive) == 0;
#endif
}

bool sameFile(const QString &a, const QString &b)
{
#ifdef Q_OS_UNIX
    return sameFile(nativenames::toNative(a), nativenames::toNative(b));
#else
    return sameFile(QFile::encodeName(a), QFile::encodeName(b));
#endif
}

bool listFiles(const QString &folder, const std::function<bool(QStringView name)> &wanted, QStringList *names,
               QString *error)
{
    names->clear();
#ifdef Q_OS_UNIX
    // By the bytes of the names: Qt's listing decodes a name that is not valid UTF-8 to one that no
    // longer opens.
    DIR *dir = ::opendir(nativenames::toNative(folder).constData());
    if (!dir) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = nativenames::fromNative(entry->d_name);
        struct stat st {};
        // Only files: a FIFO would wait for a writer, a folder cannot be read.
        if (wanted(name) && ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            names->append(name);
        errno = 0;
    }
    const int failed = errno;
    ::closedir(dir);
    if (failed != 0) {
        names->clear();
        *error = QString::fromLocal8Bit(std::strerror(failed));
        return false;
    }
#else
    const QDir dir(folder);
    if (!dir.exists()) {
        *error = QStringLiteral("No such folder");
        return false;
    }
    for (const QString &name : dir.entryList(QDir::Files | QDir::Readable | QDir::Hidden, QDir::NoSort)) {
        if (wanted(name))
            names->append(name);
    }
#endif
    return true;
}

} // namespace localfiles
