#include "ChatExport.h"

#include <cstring>

#include "TextCodec.h"
#include "TextFileWriter.h"

namespace modMain {
namespace {

// Text is encoded and written this many characters at a time, so that memory stays bounded beside the
// text and Cancel is heard.
constexpr qsizetype kPieceChars = qsizetype(1) << 20;
constexpr qsizetype kStampLength = 21; // "[" + "MM/dd/yyyy HH:mm:ss" + "]"

// The page's look: the browser's own colours in either theme, timestamps a quieter shade with a contrast
// of at least 4.5:1 in both.
const char kHead[] = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                     "<meta name=\"color-scheme\" content=\"light dark\">\n"
                     "<meta name=\"generator\" content=\"Evenfall Chat Log Reader\">\n<title>";
const char kStyle[] =
    "</title>\n<style>\n"
    ":root { color-scheme: light dark; }\n"
    "body { margin: 1.5em; background: #ffffff; color: #1b1b1b; font: 14px/1.45 system-ui, sans-serif; }\n"
    "h1 { font-size: 1.3em; margin: 0 0 0.8em; }\n"
    "p { margin: 0; white-space: pre-wrap; overflow-wrap: anywhere; }\n"
    ".time { color: #5c5c5c; font-variant-numeric: tabular-nums; }\n"
    "@media (prefers-color-scheme: dark) {\n"
    "  body { background: #1c1c1e; color: #e6e6e6; }\n"
    "  .time { color: #a3a3a3; }\n"
    "}\n</style>\n</head>\n<body>\n<h1>";
const char kBodyStart[] = "</h1>\n";
const char kTail[] = "</body>\n</html>\n";

char *put(char *out, const char *text, qsizetype size)
{
    std::memcpy(out, text, size_t(size));
    return out + size;
}

char *putReplacement(char *out)
{
    return put(out, "\xEF\xBF\xBD", 3);
}

// Appends text to out as escaped UTF-8.
void appendEscaped(QByteArray &out, QStringView text)
{
    const qsizetype used = out.size();
    out.resize(used + 5 * text.size()); // "&amp;" is the longest a character becomes
    char *o = out.data() + used;
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    for (; p < end; ++p) {
        const char16_t c = *p;
        if (c < 0x80) {
            if (c == u'&')
                o = put(o, "&amp;", 5);
            else if (c == u'<')
                o = put(o, "&lt;", 4);
            else if (c == u'>')
                o = put(o, "&gt;", 4);
            else if ((c < 0x20 && c != u'\t') || c == 0x7F)
                o = putReplacement(o);
            else
                *o++ = char(c);
        } else if (c < 0x800) {
            if (c < 0xA0) { // C1 controls
                o = putReplacement(o);
                continue;
            }
            *o++ = char(0xC0 | (c >> 6));
            *o++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1])) {
            const char32_t u = QChar::surrogateToUcs4(c, p[1]);
            ++p;
            *o++ = char(0xF0 | (u >> 18));
            *o++ = char(0x80 | ((u >> 12) & 0x3F));
            *o++ = char(0x80 | ((u >> 6) & 0x3F));
            *o++ = char(0x80 | (u & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            o = putReplacement(o);
        } else {
            *o++ = char(0xE0 | (c >> 12));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(o - out.constData());
}

void appendLine(QByteArray &out, QStringView line, bool timestamps)
{
    if (line.isEmpty()) {
        out += "<p><br></p>\n"; // an empty paragraph would take no room
        return;
    }
    out += "<p>";
    if (timestamps && line.size() >= kStampLength && line[0] == u'[' && line[kStampLength - 1] == u']') {
        out += "<span class=\"time\">";
        appendEscaped(out, line.first(kStampLength));
        out += "</span>";
        line = line.sliced(kStampLength);
    }
    appendEscaped(out, line);
    out += "</p>\n";
}

QByteArray pageStart(const QString &title)
{
    QByteArray out = kHead;
    appendEscaped(out, title);
    out += kStyle;
    appendEscaped(out, title);
    out += kBodyStart;
    return out;
}

// Hands text on in pieces of about kPieceChars: whole lines for the page, anywhere but inside a
// surrogate pair for the text. False when write fails or the export is cancelled.
template <typename Write>
bool inPieces(QStringView text, const ExportOptions &options, bool wholeLines, Write &&write)
{
    for (qsizetype done = 0; done < text.size();) {
        if (options.cancel && options.cancel->load(std::memory_order_relaxed))
            return false;
        qsizetype end = std::min(text.size(), done + kPieceChars);
        if (wholeLines && end < text.size()) {
            const qsizetype lineEnd = text.indexOf(u"\r\n", end);
            end = lineEnd < 0 ? text.size() : lineEnd + 2;
        } else if (end < text.size() && text[end - 1].isHighSurrogate()) {
            ++end;
        }
        if (!write(text.sliced(done, end - done)))
            return false;
        done = end;
        if (options.progress)
            options.progress(done, text.size());
    }
    return true;
}

void appendLines(QByteArray &out, QStringView piece, bool timestamps)
{
    while (!piece.isEmpty()) {
        const qsizetype lineEnd = piece.indexOf(u"\r\n");
        appendLine(out, lineEnd < 0 ? piece : piece.first(lineEnd), timestamps);
        piece = lineEnd < 0 ? QStringView() : piece.sliced(lineEnd + 2);
    }
}

} // namespace

QByteArray chatPage(QStringView text, const QString &title, bool timestamps)
{
    QByteArray out = pageStart(title);
    appendLines(out, text, timestamps);
    out += kTail;
    return out;
}

ExportStatus exportChat(const QString &path, QStringView text, const ExportOptions &options, QString *error)
{
    // A FIFO that no program reads would keep the export waiting: that is a failure, as for Save.
    TextFileWriter writer(path, false);
    if (!writer.open(error))
        return ExportStatus::Failed;
    bool written = true;
    bool cancelled = false;
    auto writeOrStop = [&](const QByteArray &bytes) {
        written = writer.write(bytes, error);
        return written;
    };
    if (options.format == ExportFormat::Text) {
        cancelled = !inPieces(text, options, false,
                              [&](QStringView piece) { return writeOrStop(encodeAnsi(piece)); });
    } else {
        QByteArray piece;
        cancelled = !writeOrStop(pageStart(options.title)) ||
                    !inPieces(text, options, true,
                              [&](QStringView lines) {
                                  piece.clear();
                                  appendLines(piece, lines, options.timestamps);
                                  return writeOrStop(piece);
                              }) ||
                    !writeOrStop(kTail);
    }
    if (!written)
        return ExportStatus::Failed;
    if (cancelled)
        return ExportStatus::Cancelled; // the writer goes uncommitted: the old file stays
    return writer.commit(error) ? ExportStatus::Written : ExportStatus::Failed;
}

} // namespace modMain
