#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <atomic>
#include <functional>

// A whole chat written to a file: as text, as Save writes a page, or as a web page.
namespace modMain {

enum class ExportFormat {
    Text, // the log encoding (TextCodec.h), lines ending CR LF
    Html, // a self-contained UTF-8 page, readable in light and dark browser themes
};

struct ExportOptions {
    ExportFormat format = ExportFormat::Text;
    QString title;           // the web page's title and heading: the names of the chats
    bool timestamps = false; // each line opens with its "[MM/dd/yyyy HH:mm:ss]", set apart on the page
    // When set and raised (from any thread), the export stops at its next piece.
    const std::atomic<bool> *cancel = nullptr;
    // Called after each piece with the characters of text done so far and their total.
    std::function<void(qint64 done, qint64 total)> progress;
};

enum class ExportStatus { Written, Failed, Cancelled };

// Writes text (lines that end with CR LF, as BuildChatText gives them; a last line may lack it) to path
// with Save's writer (TextFileWriter.h): a regular file is replaced in one step at the end, so that a
// failure or Cancel leaves the old one as it was; a device is written in place; a FIFO that no program
// reads fails at once. Failed comes with the system's reason in *error.
ExportStatus exportChat(const QString &path, QStringView text, const ExportOptions &options, QString *error);

// The web page of text, whole: a paragraph per line, its timestamp in a span of class "time", the text
// escaped. Characters that a page may not hold (controls other than tab, lone surrogates) show as
// U+FFFD.
QByteArray chatPage(QStringView text, const QString &title, bool timestamps);

} // namespace modMain
