#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// In bytes, sixteen at a time while the line has them: the pieces searched are short, but a line goes on
// well past them, so the first step nearly always finds the character. A character beyond a byte is in
// no byte.
inline qsizetype findChar(QByteArrayView s, char16_t c, qsizetype from = 0)
{
    if (c > 0xFF)
        return -1;
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(c));
    for (; s.size() - i >= 16; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.data() + i));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))
            return i + std::countr_zero(unsigned(mask));
    }
#endif
    for (; i < s.size(); ++i) {
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
