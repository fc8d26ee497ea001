#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdio>
#include <memory>

#include "DateTime.h"

class QFile;

namespace modMain {
class TextFileWriter;
}

namespace chatlogcli {

// Text on its way out, in large blocks of bytes in the destination's encoding: standard output takes
// UTF-8 with the platform's line ends (CR LF on Windows, LF elsewhere); a file takes what the reader's
// Save writes (the log encoding, CR LF), and replaces the old one only at finish.
//
// Output can be held back until the caller knows it is wanted, then released or dropped. What is held
// stays in memory up to a few megabytes, then goes to a temporary file, so that holding costs no more
// memory however long it lasts. The temporary file goes where the system keeps them (TMPDIR on Unix) and
// has no name from the moment it is made, where the system allows, so that nothing is left behind.
//
// After a failure nothing more is written; failed() says so, so that the caller can stop its work.
class TextOutput {
public:
    // stream is binary (no line-end translation of its own); nullptr: standard output is closed.
    explicit TextOutput(std::FILE *stream);
    // The file at path (a local path); shownPath names it in messages.
    TextOutput(const QString &path, const QString &shownPath);
    ~TextOutput();
    TextOutput(const TextOutput &) = delete;
    TextOutput &operator=(const TextOutput &) = delete;

    // Text without line ends.
    void append(QStringView text);
    // A file name: to standard output as the bytes the system names the file by (NativeNames.h), so that
    // the name printed opens the file, as ls and grep print names; to a file as text.
    void appendName(QStringView name);
    // "[MM/dd/yyyy HH:mm:ss]", as the reader shows a line's timestamp.
    void appendStamp(double days);
    void endLine();
    // Text whose lines end with CR LF, as the model assembles it.
    void appendLines(QStringView text);

    void hold();
    void release();
    void drop();

    bool failed() const { return error_ != 0 || !errorText_.isEmpty(); }
    // Writes what is left and, for a file, replaces it. True when everything was written; otherwise
    // message() says why, unless the reader of standard output went away (brokenPipe()).
    bool finish();
    bool brokenPipe() const;
    QString message() const;

private:
    void reserve(qsizetype bytes);
    void appendBytes(QByteArrayView bytes); // into the block, which the next append() sends on when full
    void flushBlock();
    void handOn(const char *data, qsizetype size);
    void deliver(const char *data, qsizetype size);

    std::FILE *stream_ = nullptr;
    std::unique_ptr<modMain::TextFileWriter> file_;
    bool fileOpened_ = false;
    QString shownPath_;
    bool utf8_ = true;

    QByteArray block_;
    qsizetype used_ = 0;
    QString lastName_; // the name appendName last wrote, and its bytes
    QByteArray lastNameBytes_;

    bool holding_ = false;
    QByteArray held_;
    std::unique_ptr<QFile> spill_;

    int error_ = 0;     // errno of a failed write to the stream
    QString errorText_; // the message for any other failure
    modMain::TimestampFormatter stamps_;
};

} // namespace chatlogcli
