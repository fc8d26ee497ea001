#include "TextFileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "LocalFiles.h"
#include "TextCodec.h"

namespace modMain {

#ifdef Q_OS_UNIX
namespace {

enum class InPlace { NotForThisTarget, Opened, Failed };

// A target that exists and is not a regular file or a folder (a device, a FIFO, a socket) is written
// where it is: replacing it by a new file would destroy it.
InPlace openInPlace(const QString &path, bool waitForReader, QFile &file, QString *error)
{
    const QFileInfo target(path);
    if (!target.exists() || target.isFile() || target.isDir())
        return InPlace::NotForThisTarget;
    // Without waiting, opening a FIFO that nobody reads fails at once instead of blocking.
    localfiles::OpenOptions how;
    how.mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    how.wait = waitForReader;
    const localfiles::OpenOutcome opened = localfiles::openFile(file, path, how);
    if (!opened.ok()) {
        *error = opened.failure == localfiles::OpenFailure::NoReader
                     ? QStringLiteral("No program is reading from it")
                     : opened.error;
        return InPlace::Failed;
    }
    if (opened.regular) {
        file.close(); // replaced by a regular file meanwhile: that one is replaced whole
        return InPlace::NotForThisTarget;
    }
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
    // A QSaveFile never committed removes its temporary and leaves the old file alone.
}

bool TextFileWriter::open(QString *error)
{
#ifdef Q_OS_UNIX
    inPlace_ = std::make_unique<QFile>();
    switch (openInPlace(path_, waitForReader_, *inPlace_, error)) {
    case InPlace::Opened:
        return true;
    case InPlace::Failed:
        failed_ = true;
        return false;
    case InPlace::NotForThisTarget:
        inPlace_.reset();
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
    if (inPlace_) {
        failed_ = !localfiles::writeAll(*inPlace_, bytes, error);
        return !failed_;
    }
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
    if (inPlace_) {
        inPlace_->close();
        if (inPlace_->error() != QFileDevice::NoError) {
            *error = inPlace_->errorString();
            return false;
        }
        return true;
    }
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
