#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

// How log files and saved texts are encoded: single-byte text in the system's ANSI code page on
// Windows, windows-1252 elsewhere (all 256 byte values defined). A file that starts with a UTF-8 or
// UTF-16 byte-order mark is read by that mark.
namespace modMain {

enum class LogEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The encoding named by a byte-order mark at the start of head, and the mark's length; Ansi and 0
// when there is none.
LogEncoding detectEncoding(QByteArrayView head, qsizetype *markLength);

// Decodes a stream of bytes chunk by chunk; a character split between chunks is kept for the next.
class LogDecoder {
public:
    explicit LogDecoder(LogEncoding encoding);

    // Writes the characters of bytes to out, which must have room for bytes.size() + 4 characters (a
    // character held back from the previous chunk may come out now); returns the number written.
    qsizetype decode(QByteArrayView bytes, char16_t *out);

private:
    LogEncoding encoding_;
    QStringDecoder decoder_;
};

// The text as the ANSI encoding holds it; a character it cannot hold becomes "?".
QByteArray encodeAnsi(QStringView text);
QString decodeAnsi(QByteArrayView bytes);

// Writes text to path in the ANSI encoding, replacing the file atomically: on any failure the old file
// is left as it was and false is returned with the system's reason in *error.
bool writeTextFile(const QString &path, QStringView text, QString *error);

} // namespace modMain
