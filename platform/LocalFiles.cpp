#include "LocalFiles.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_WIN
#include <QDir>
#include <cerrno>
#include <cstring>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "NativeNames.h"

namespace localfiles {
namespace {

// The most one system call is asked to move: well within what every system takes at once.
constexpr qint64 kMostPerCall = qint64(1) << 30;

#ifdef Q_OS_WIN

// Windows takes names as UTF-16; the bytes of a command line are UTF-8.
QString systemPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString systemPath(const QByteArray &utf8)
{
    return QDir::toNativeSeparators(QString::fromUtf8(utf8));
}

HANDLE handleOf(int handle)
{
    return handle < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(handle));
}

FileIdentity identityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info))
        return {};
    return {info.dwVolumeSerialNumber, (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

FileIdentity identityOfPath(const QString &native)
{
    // No access asked: enough to read the file's information, and a folder opens as well.
    HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const FileIdentity identity = identityOfHandle(handle);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return identity;
}

OpenOutcome openPath(QFile &file, const QString &native, const OpenOptions &options)
{
    OpenOutcome out;
    // Writing goes on where the file stands: never a new file, never one cut to nothing.
    QIODevice::OpenMode mode = options.mode;
    if (mode.testFlag(QIODevice::WriteOnly))
        mode |= QIODevice::ExistingOnly | QIODevice::Append;
    // Windows refuses to open a folder ("Access denied."): say what it is, as elsewhere.
    const QFileInfo before(native);
    if (options.regularOnly && before.exists() && !before.isFile()) {
        out.failure = OpenFailure::NotRegular;
        out.error = kNotRegularFile;
        return out;
    }
    file.setFileName(native);
    if (!file.open(mode)) {
        out.failure = QFileInfo::exists(native) ? OpenFailure::Other : OpenFailure::Missing;
        out.error = file.errorString();
        return out;
    }
    out.regular = QFileInfo(native).isFile();
    if (options.regularOnly && !out.regular) {
        file.close();
        out.failure = OpenFailure::NotRegular;
        out.error = kNotRegularFile;
        return out;
    }
    out.failure = OpenFailure::None;
    return out;
}

#else

// A name that is not valid UTF-8 arrives with its bytes escaped (NativeNames.h), and leaves as them.
QByteArray systemPath(const QString &path)
{
    return nativenames::toNative(path);
}

const QByteArray &systemPath(const QByteArray &bytes)
{
    return bytes;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

FileIdentity identityOfStat(const struct stat &st)
{
    return {quint64(st.st_dev), quint64(st.st_ino), true};
}

FileIdentity identityOfPath(const QByteArray &native)
{
    struct stat st {};
    return ::stat(native.constData(), &st) == 0 ? identityOfStat(st) : FileIdentity{};
}

OpenOutcome openPath(QFile &file, const QByteArray &native, const OpenOptions &options)
{
    OpenOutcome out;
    const bool reading = options.mode.testFlag(QIODevice::ReadOnly);
    const bool writing = options.mode.testFlag(QIODevice::WriteOnly);
    int flags = writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY;
    // Without waiting, a FIFO opened for reading needs no writer, and one opened for writing that
    // nobody reads fails at once instead of blocking.
    flags |= O_NOCTTY | O_CLOEXEC | (options.wait ? 0 : O_NONBLOCK);
    int fd = -1;
    do {
        fd = ::open(native.constData(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        struct stat target {};
        if (error == ENOENT)
            out.failure = OpenFailure::Missing;
        else if (error == ENXIO && writing && ::stat(native.constData(), &target) == 0 &&
                 S_ISFIFO(target.st_mode))
            out.failure = OpenFailure::NoReader;
        out.error = systemError(error);
        return out;
    }
    auto fail = [&](OpenFailure failure, const QString &error) {
        ::close(fd);
        out.failure = failure;
        out.error = error;
        return out;
    };
    struct stat opened {};
    const bool known = ::fstat(fd, &opened) == 0;
    out.regular = known && S_ISREG(opened.st_mode);
    if (options.regularOnly && !out.regular)
        return fail(OpenFailure::NotRegular, kNotRegularFile);
    if (!writing && known && S_ISDIR(opened.st_mode))
        return fail(OpenFailure::Other, systemError(EISDIR));
    if (!options.wait)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK); // open now: read and write as usual
    if (!file.open(fd, options.mode, QFileDevice::AutoCloseHandle))
        return fail(OpenFailure::Other, file.errorString());
    out.failure = OpenFailure::None;
    return out;
}

#endif

} // namespace

FileIdentity identityOf(const QString &path)
{
    return identityOfPath(systemPath(path));
}

FileIdentity identityOf(const QByteArray &nativePath)
{
    return identityOfPath(systemPath(nativePath));
}

FileIdentity identityOf(const QFileDevice &file)
{
#ifdef Q_OS_WIN
    return identityOfHandle(handleOf(file.handle()));
#else
    struct stat st {};
    const int fd = file.handle();
    return fd >= 0 && ::fstat(fd, &st) == 0 ? identityOfStat(st) : FileIdentity{};
#endif
}

bool sameFile(const QByteArray &nativeA, const QByteArray &nativeB)
{
    const FileIdentity a = identityOf(nativeA);
    return a.valid && a == identityOf(nativeB);
}

bool sameFile(const QString &a, const QString &b)
{
    const FileIdentity identity = identityOf(a);
    return identity.valid && identity == identityOf(b);
}

OpenOutcome openFile(QFile &file, const QString &path, const OpenOptions &options)
{
    return openPath(file, systemPath(path), options);
}

OpenOutcome openFile(QFile &file, const QByteArray &nativePath, const OpenOptions &options)
{
    return openPath(file, systemPath(nativePath), options);
}

bool openRegularFile(QFile &file, const QString &path, QString *error)
{
    OpenOptions options;
    options.regularOnly = true;
    const OpenOutcome opened = openFile(file, path, options);
    if (!opened.ok() && error)
        *error = opened.error;
    return opened.ok();
}

qint64 readAt(int handle, qint64 offset, char *to, qint64 size, QString *error)
{
    size = std::min(size, kMostPerCall);
    if (size <= 0)
        return 0;
#ifdef Q_OS_WIN
    // An offset of its own in each call: on a handle opened for ordinary (not overlapped) reads, ReadFile
    // reads there and returns when done, and calls from several threads do not disturb each other.
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD got = 0;
    if (!ReadFile(handleOf(handle), to, DWORD(size), &got, &at)) {
        const DWORD failed = GetLastError();
        if (failed == ERROR_HANDLE_EOF)
            return 0;
        *error = qt_error_string(int(failed));
        return -1;
    }
    return qint64(got);
#else
    ssize_t got = 0;
    do {
        got = ::pread(handle, to, size_t(size), off_t(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        *error = systemError(errno);
        return -1;
    }
    return qint64(got);
#endif
}

bool writeAll(QFileDevice &file, QByteArrayView bytes, QString *error)
{
#ifdef Q_OS_WIN
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            *error = file.errorString();
            return false;
        }
        done += n;
    }
    return true;
#else
    // SIGPIPE is held back meanwhile, so that a reader that goes away fails the write with EPIPE.
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);

    const int fd = file.handle();
    int failed = 0;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(fd, bytes.data() + done, size_t(std::min(bytes.size() - done, kMostPerCall)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed = n < 0 ? errno : EIO;
            break;
        }
        done += n;
    }
    if (failed == EPIPE && !wasPending) {
        const timespec now{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (failed != 0)
        *error = systemError(failed);
    return failed == 0;
#endif
}

bool listFiles(const QString &folder, const std::function<bool(QStringView name)> &wanted, QStringList *names,
               QString *error)
{
    names->clear();
#ifdef Q_OS_WIN
    const QFileInfo info(systemPath(folder));
    if (!info.isDir()) {
        // The reasons Linux gives, in the C runtime's words.
        *error = QString::fromLocal8Bit(std::strerror(info.exists() ? ENOTDIR : ENOENT));
        return false;
    }
    const QDir dir(info.filePath());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Readable | QDir::Hidden, QDir::NoSort)) {
        if (wanted(name))
            names->append(name);
    }
    return true;
#else
    // By the bytes of the names: Qt's listing decodes a name that is not valid UTF-8 to one that no
    // longer opens.
    DIR *dir = ::opendir(systemPath(folder).constData());
    if (!dir) {
        *error = systemError(errno);
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
        *error = systemError(failed);
        return false;
    }
    return true;
#endif
}

} // namespace localfiles
