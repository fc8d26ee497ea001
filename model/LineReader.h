#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <bit>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "TextCodec.h"

// The one line reader of the model: lines end at CR LF, LF or a lone CR, in decoded text and in the
// bytes of a file alike. The loader, the line-by-line reader and the follower all cut lines here.
namespace modMain::detail {

#if defined(__SSE2__)
// One bit for each byte of the characters of v that are CR or LF; Char is char or char16_t.
template <typename Char> inline int lineEndMask(__m128i v)
{
    if constexpr (sizeof(Char) == 1)
        return _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
    else
        return _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('\r')), _mm_cmpeq_epi16(v, _mm_set1_epi16('\n'))));
}
#endif

// The first CR or LF in [p, end), or end: in decoded text (char16_t), or in the bytes of an encoding in
// which those bytes are characters of their own (char; not UTF-16).
template <typename Char> inline const Char *findLineEnd(const Char *p, const Char *end)
{
#if defined(__SSE2__)
    constexpr qsizetype kStep = 16 / sizeof(Char);
    while (end - p >= kStep) {
        if (const int mask = lineEndMask<Char>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))))
            return p + std::countr_zero(unsigned(mask)) / sizeof(Char);
        p += kStep;
    }
#endif
    while (p < end && *p != Char('\r') && *p != Char('\n'))
        ++p;
    return p;
}

// Whether every byte of bytes is below 0x80.
inline bool isAscii(QByteArrayView bytes)
{
    const char *p = bytes.data(), *end = p + bytes.size();
#if defined(__SSE2__)
    while (end - p >= 16) {
        if (_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))))
            return false;
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        if (static_cast<unsigned char>(*p) > 0x7F)
            return false;
    }
    return true;
}

// The last CR or LF byte in [begin, end), or nullptr; as findLineEnd, for encodings of single bytes.
inline const char *findLastLineEnd(const char *begin, const char *end)
{
#if defined(__SSE2__)
    while (end - begin >= 16) {
        if (const int mask = lineEndMask<char>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(end - 16))))
            return end - 16 + (31 - std::countl_zero(unsigned(mask)));
        end -= 16;
    }
#endif
    while (end > begin) {
        --end;
        if (*end == '\r' || *end == '\n')
            return end;
    }
    return nullptr;
}

// The number of lines that end in [p, end) of a text in bytes: at CR LF, a lone CR or LF. crBefore
// tells whether the byte before p was a CR (then an LF at p ends no line of its own), and is left
// telling it of the byte before end.
qint64 countLineEnds(const char *p, const char *end, bool &crBefore);

// Cuts text into lines a piece at a time. A line may span pieces; a CR at the end of a piece ends its
// line at once, and an LF that starts the next piece is then the rest of that line end. Lines are
// handed on as they are, empty ones included.
class LineSplitter {
public:
    // Hands line(QStringView) every line that ends in text[0, size), in order, and returns how many
    // characters they took, line ends included. The next call's text must begin with the characters
    // not taken, unchanged, then the new ones: those are not searched again, so that a line of any
    // length costs one scan however many pieces it spans. With atEnd the text's end ends a last line.
    // Text is decoded (char16_t, lines handed on as QStringView) or the bytes of an encoding in which CR
    // and LF are bytes of their own (char, lines handed on as QByteArrayView).
    template <typename Char, typename OnLine>
    qsizetype feed(const Char *text, qsizetype size, bool atEnd, OnLine &&line)
    {
        using View = std::conditional_t<sizeof(Char) == 1, QByteArrayView, QStringView>;
        qsizetype start = 0;
        if (afterCr_ && size > 0) {
            afterCr_ = false; // nothing was left over after the CR: text[0] is the next character
            if (text[0] == Char('\n'))
                start = 1;
        }
        for (qsizetype i = std::max(scanned_, start); i < size; ++i) {
            i = findLineEnd(text + i, text + size) - text;
            if (i == size)
                break;
            line(View(text + start, i - start));
            if (text[i] == Char('\r')) {
                if (i + 1 == size)
                    afterCr_ = true;
                else if (text[i + 1] == Char('\n'))
                    ++i;
            }
            start = i + 1;
        }
        if (atEnd && start < size) {
            line(View(text + start, size - start));
            start = size;
        }
        scanned_ = size - start;
        return start;
    }

    // Whether the last character taken was a CR: an LF next belongs to it. A reader that starts after a
    // CR found by lineStartBefore says so here.
    bool afterCr() const { return afterCr_; }
    void setAfterCr(bool afterCr) { afterCr_ = afterCr; }

private:
    qsizetype scanned_ = 0; // characters at the start of the next text known to hold no line end
    bool afterCr_ = false;
};

// Where a line starts at or before a place in a file.
struct LineStart {
    qint64 at = -1;       // -1: the file could not be read
    bool found = false;   // a line end lies before at; else at is the floor asked for
    bool afterCr = false; // that line end is a CR: an LF at at is the rest of it
};

// The start of the line that the character unit at position belongs to in the open file (handle as
// QFileDevice::handle() gives it), in the encoding's units: just after the last CR or LF before position,
// looking back no further than floor (the start of the text, or where a line is known to start). Both lie
// on unit boundaries. Bytes missing at the end (the file cut short meanwhile) hold no line end. The bytes
// of CR and LF never occur inside another character in these encodings, and a UTF-8 decoder stops an
// unfinished sequence at them, so text cut there decodes as it does whole. On a read error, at is -1
// with the reason in *error.
LineStart lineStartBefore(int handle, qint64 position, qint64 floor, LogEncoding encoding, QString *error);

inline qint64 unitSize(LogEncoding encoding)
{
    return encoding == LogEncoding::Utf16LE || encoding == LogEncoding::Utf16BE ? 2 : 1;
}

} // namespace modMain::detail
