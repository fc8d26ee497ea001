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

// Decodes a stream of bytes chunk by chunk. The characters do not depend on where the chunks are cut:
// they are those of decoding the whole stream in one go. A sequence split between chunks waits for
// the rest of it; one still unfinished at the end of the stream becomes U+FFFD, as do the bytes of
// any invalid sequence (one U+FFFD per byte in UTF-8, as QString::fromUtf8 does).
class LogDecoder {
public:
    explicit LogDecoder(LogEncoding encoding);

    // Writes the characters of bytes to out, which must have room for bytes.size() + 4 characters (the
    // bytes held back from the previous chunk may come out now); returns the number written. atEnd
    // says that no bytes follow, so that nothing is held back.
    qsizetype decode(QByteArrayView bytes, char16_t *out, bool atEnd = false);

private:
    qsizetype decodeWhole(QByteArrayView bytes, char16_t *out);

    LogEncoding encoding_;
    QStringDecoder decoder_;
    char held_[4] = {}; // the start of a sequence that the last chunk cut off
    qsizetype heldSize_ = 0;
};

// The text as the ANSI encoding holds it; a character it cannot hold becomes "?".
QByteArray encodeAnsi(QStringView text);
QString decodeAnsi(QByteArrayView bytes);

// Writes text to path in the ANSI encoding. A regular file (or a new one) is replaced atomically: on any
// failure the old file is left as it was and false is returned with the system's reason in *error. A
// symbolic link is followed and its target replaced. A target that is neither a regular file nor a
// folder (a device, a FIFO) is written in place, as a shell redirection does, and is never replaced;
// a FIFO that no program reads is waited for with waitForReader, and is a failure at once without.
bool writeTextFile(const QString &path, QStringView text, QString *error, bool waitForReader = true);

} // namespace modMain
