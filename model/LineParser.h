#pragma once

#include <QByteArrayView>
#include <QStringView>

#include "ChatNameTable.h" // detail::same, which the name table shares
#include "DateTime.h"

// The line classifier shared by ParseChatLine, the loader and the line-by-line reader. It works on a
// view and allocates nothing, so lines are classified where they were read. It reads decoded text, or
// the bytes of a line in windows-1252 or in ASCII: every mark it looks for is an ASCII character, which
// those bytes hold one for one, so both give the same shape, positions and all.
namespace modMain::detail {

enum class LineKind : quint8 { Public, Channel, Tell };

template <typename View> struct BasicLineShape {
    double timeStamp = 0.0;
    qsizetype textStart = 0; // the record's Text is line.sliced(textStart)
    LineKind kind = LineKind::Public;
    View chatName; // a view into the line, for channel and tell lines
    bool isGameFeedback = false;
};
using LineShape = BasicLineShape<QStringView>;
using ByteLineShape = BasicLineShape<QByteArrayView>;

// cache, when given, keeps the last date's day serial between the lines of one load.
LineShape shapeOfLine(QStringView line, DateCache *cache = nullptr);
// The same for the bytes of a line that a single-byte decoding turns into as many characters, the
// ASCII ones as themselves (windows-1252; UTF-8 without bytes above 0x7F).
ByteLineShape shapeOfBytes(QByteArrayView line, DateCache *cache = nullptr);

// The character at i as a number: a byte counts as the code point of its ASCII character, or above.
inline char16_t unitAt(QStringView s, qsizetype i)
{
    return s.utf16()[i];
}
inline char16_t unitAt(QByteArrayView s, qsizetype i)
{
    return static_cast<unsigned char>(s.data()[i]);
}

// Small inline searches and comparisons: the pieces of a line are a few characters long, where calling
// out to the general string functions costs more than the work itself.
template <typename View> inline qsizetype findChar(View s, char16_t c, qsizetype from = 0)
{
    for (qsizetype i = from; i < s.size(); ++i) {
        if (unitAt(s, i) == c)
            return i;
    }
    return -1;
}

// Whether s begins with ascii (a text of ASCII characters only).
template <typename View> inline bool beginsWith(View s, QStringView ascii)
{
    if (s.size() < ascii.size())
        return false;
    for (qsizetype i = 0; i < ascii.size(); ++i) {
        if (unitAt(s, i) != ascii.utf16()[i])
            return false;
    }
    return true;
}

template <typename View> inline bool isText(View s, QStringView ascii)
{
    return s.size() == ascii.size() && beginsWith(s, ascii);
}

} // namespace modMain::detail
