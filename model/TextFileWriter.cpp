#include "TextFileWriter.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TextCodec.h"

namespace modMain {

#ifdef Q_OS_UNIX
namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes all of bytes to fd; 0 or the errno of the write that failed. SIGPIPE is held back meanwhile,
// so that a reader that goes away fails the write with EPIPE instead of ending the program.
int writeAll(int fd, QByteArrayView bytes)
{
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);

    int error = 0;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += n;
    }
    if (error == EPIPE && !wasPending) {
        const timespec now{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error;
}

enum class InPlace { NotForThisTarget, Opened, Failed };

// A target that exists and is not a regular file or a folder (a device, a FIFO, a socket) is written
// where it is: replacing it by a new file would destroy it.
InPlace openInPlace(const QString &path, bool waitForReader, int *fd, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat target {};
    if (::stat(name.constData(), &target) != 0 || S_ISREG(target.st_mode) || S_ISDIR(target.st_mode))
        return InPlace::NotForThisTarget;
    // Without waiting, opening a FIFO that nobody reads fails at once instead of blocking.
    const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | (waitForReader ? 0 : O_NONBLOCK);
    do {
        *fd = ::open(name.constData(), flags);
    } while (*fd < 0 && errno == EINTR);
    if (*fd < 0) {
        *error = errno == ENXIO && S_ISFIFO(target.st_mode) ? QStringLiteral("No program is reading from it")
                                                            : systemError(errno);
        return InPlace::Failed;
    }
    struct stat opened {};
    if (::fstat(*fd, &opened) != 0 || S_ISREG(opened.st_mode)) {
        ::close(*fd); // replaced by a regular file meanwhile: that one is replaced whole
        *fd = -1;
        return InPlace::NotForThisTarget;
    }
    if (!waitForReader)
        ::fcntl(*fd, F_SETFL, ::fcntl(*fd, F_GETFL) & ~O_NONBLOCK); // a reader is there: write as usual
    return InPlace::Opened;
}

} // namespace
#endif

bool writeWhole(QFileDevice &file, QByteArrayView bytes, QString *error)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            *error = written < 0 ? file.errorString() : QStringLiteral("Nothing more could be written");
            return false;
        }
        done += written;
    }
    return true;
}

TextFileWriter::TextFileWriter(const QString &path, bool waitForReader)
    : path_(path), waitForReader_(waitForReader)
{
}

TextFileWriter::~TextFileWriter()
{
#ifdef Q_OS_UNIX
    if (inPlace_ >= 0)
        ::close(inPlace_);
#endif
    // A QSaveFile never committed removes its temporary and leaves the old file alone.
}

bool TextFileWriter::open(QString *error)
{
#ifdef Q_OS_UNIX
    switch (openInPlace(path_, waitForReader_, &inPlace_, error)) {
    case InPlace::Opened:
        return true;
    case InPlace::Failed:
        failed_ = true;
        return false;
    case InPlace::NotForThisTarget:
        break;
    }
#endif
    file_ = std::make_unique<QSaveFile>(path_);
    if (!file_->open(QIODevice::WriteOnly)) {
        *error = file_->errorString();
        failed_ = true;
        return false;
    }
    return true;
}

bool TextFileWriter::write(QByteArrayView bytes, QString *error)
{
    if (failed_)
        return false;
#ifdef Q_OS_UNIX
    if (inPlace_ >= 0) {
        if (const int failed = writeAll(inPlace_, bytes); failed != 0) {
            *error = systemError(failed);
            failed_ = true;
        }
        return !failed_;
    }
#endif
    if (!writeWhole(*file_, bytes, error)) {
        file_->cancelWriting();
        failed_ = true;
    }
    return !failed_;
}

bool TextFileWriter::commit(QString *error)
{
    if (failed_)
        return false;
    failed_ = true; // nothing more after the commit
#ifdef Q_OS_UNIX
    if (inPlace_ >= 0) {
        const int fd = std::exchange(inPlace_, -1);
        if (::close(fd) != 0 && errno != EINTR) {
            *error = systemError(errno);
            return false;
        }
        return true;
    }
#endif
    if (!file_->commit()) {
        *error = file_->errorString();
        file_->cancelWriting();
        return false;
    }
    return true;
}

bool writeTextFile(const QString &path, QStringView text, QString *error, bool waitForReader)
{
    const QByteArray bytes = encodeAnsi(text);
    TextFileWriter writer(path, waitForReader);
    return writer.open(error) && writer.write(bytes, error) && writer.commit(error);
}

} // namespace modMain
