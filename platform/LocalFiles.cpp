#include "LocalFiles.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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
    // Windows refuses to open a folder ("Access denied."): say what it is, as elsewhere.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(kNotRegularFile);
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
    return sameFile(QFile::encodeName(a), QFile::encodeName(b));
}

} // namespace localfiles
