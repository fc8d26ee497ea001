#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

class QFile;
class QFileDevice;
class QSaveFile;

namespace modMain {

// Writes all of bytes to file, which is open for writing; false with the system's reason in *error. A
// write that stops short (a disk that filled up) is tried again for the rest, which then fails with the
// reason that the short one did not give.
bool writeWhole(QFileDevice &file, QByteArrayView bytes, QString *error);

// Writes a file in pieces. A regular file (or a new one) is written to a temporary beside it and
// replaces the old one in one step at commit, so a writer that fails or is dropped before commit leaves
// the old file as it was. A symbolic link is followed and its target replaced. A target that is neither
// a regular file nor a folder (a device, a FIFO) is written in place as the pieces come, as a shell
// redirection does, and is never replaced; a FIFO that no program reads is waited for with
// waitForReader, and is a failure at once without. Each call returns false with the system's reason in
// *error; after a failure nothing more is written.
class TextFileWriter {
public:
    explicit TextFileWriter(const QString &path, bool waitForReader = true);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter &) = delete;
    TextFileWriter &operator=(const TextFileWriter &) = delete;

    bool open(QString *error);
    bool write(QByteArrayView bytes, QString *error);
    bool commit(QString *error);

private:
    QString path_;
    bool waitForReader_;
    std::unique_ptr<QFile> inPlace_; // a device or FIFO written in place
    std::unique_ptr<QSaveFile> file_;
    bool failed_ = false;
};

} // namespace modMain
