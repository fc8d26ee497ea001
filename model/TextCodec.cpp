#include "TextCodec.h"

#include "CodePage1252.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace modMain {
namespace {

// windows-1252 bytes 0x80 to 0x9F; the five the code page leaves undefined map to the same code point.
constexpr char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t windows1252ToUnicode(unsigned char b)
{
    return b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b);
}

// The byte that windows1252ToUnicode turns into c, or -1 when there is none.
int windows1252ByteOf(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c)
            return 0x80 + i;
    }
    return -1;
}

#ifndef Q_OS_WIN
char unicodeToWindows1252(char16_t c)
{
    const int b = windows1252ByteOf(c);
    return b < 0 ? '?' : static_cast<char>(b);
}
#endif

QStringConverter::Encoding converterFor(LogEncoding encoding)
{
    switch (encoding) {
    case LogEncoding::Utf8:
        return QStringConverter::Utf8;
    case LogEncoding::Utf16LE:
        return QStringConverter::Utf16LE;
    case LogEncoding::Utf16BE:
        return QStringConverter::Utf16BE;
    case LogEncoding::Ansi:
        break;
    }
    return QStringConverter::System;
}

} // namespace

namespace detail {

void widenWindows1252(const char *bytes, qsizetype n, char16_t *out)
{
    const auto *in = reinterpret_cast<const unsigned char *>(bytes);
    qsizetype i = 0;
#if defined(__SSE2__)
    // Logs are almost all ASCII: widen sixteen bytes at a time, and only a block holding a byte with
    // its high bit set goes through the table.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        if (_mm_movemask_epi8(v)) {
            for (int k = 0; k < 16; ++k)
                out[i + k] = windows1252ToUnicode(in[i + k]);
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; i < n; ++i)
        out[i] = windows1252ToUnicode(in[i]);
}

qsizetype narrowWindows1252(const char16_t *text, qsizetype n, char *out)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    // Eight ASCII characters at a time; a block with any other character goes through the table.
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), zero)) != 0xFFFF)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(v, v));
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out[i] = char(c);
            continue;
        }
        const int b = windows1252ByteOf(c);
        if (b < 0)
            return i;
        out[i] = static_cast<char>(b);
    }
    return n;
}

namespace {

bool pairsAt(const char16_t *text, qsizetype i, qsizetype n)
{
    return QChar::isHighSurrogate(text[i]) && i + 1 < n && QChar::isLowSurrogate(text[i + 1]);
}

// How many units from i on are ASCII, in whole steps of eight (the rest is looked at one by one); with
// out, they are written there as bytes.
qsizetype asciiRun(const char16_t *text, qsizetype i, qsizetype n, char *out)
{
    const qsizetype from = i;
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), zero)) != 0xFFFF)
            break;
        if (out)
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out + (i - from)), _mm_packus_epi16(v, v));
    }
#else
    Q_UNUSED(text);
    Q_UNUSED(n);
    Q_UNUSED(out);
#endif
    return i - from;
}

} // namespace

qsizetype utf8SizeOf(const char16_t *text, qsizetype n)
{
    qsizetype size = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype ascii = asciiRun(text, i, n, nullptr);
        size += ascii;
        i += ascii;
        if (i == n)
            break;
        const char16_t c = text[i];
        if (c < 0x80) {
            size += 1;
        } else if (c < 0x800) {
            size += 2;
        } else if (pairsAt(text, i, n)) {
            size += 4;
            ++i;
        } else {
            size += 3;
        }
    }
    return size;
}

char *writeUtf8(const char16_t *text, qsizetype n, char *out)
{
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype ascii = asciiRun(text, i, n, out);
        out += ascii;
        i += ascii;
        if (i == n)
            break;
        const char16_t c = text[i];
        if (c < 0x80) {
            *out++ = char(c);
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (pairsAt(text, i, n)) {
            const char32_t u = QChar::surrogateToUcs4(c, text[++i]);
            *out++ = char(0xF0 | (u >> 18));
            *out++ = char(0x80 | ((u >> 12) & 0x3F));
            *out++ = char(0x80 | ((u >> 6) & 0x3F));
            *out++ = char(0x80 | (u & 0x3F));
        } else {
            *out++ = char(0xE0 | (c >> 12));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

char16_t *readUtf8(const char *bytes, qsizetype n, char16_t *out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    const unsigned char *const end = p + n;
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            *out++ = char16_t(c);
            p += 1;
        } else if (c < 0xE0) {
            *out++ = char16_t(((c & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (c < 0xF0) {
            *out++ = char16_t(((c & 0x0F) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            const char32_t u =
                ((c & 0x07) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3F);
            *out++ = QChar::highSurrogate(u);
            *out++ = QChar::lowSurrogate(u);
            p += 4;
        }
    }
    return out;
}

} // namespace detail

LogEncoding detectEncoding(QByteArrayView head, qsizetype *markLength)
{
    if (head.startsWith("\xEF\xBB\xBF")) {
        *markLength = 3;
        return LogEncoding::Utf8;
    }
    if (head.startsWith("\xFF\xFE")) {
        *markLength = 2;
        return LogEncoding::Utf16LE;
    }
    if (head.startsWith("\xFE\xFF")) {
        *markLength = 2;
        return LogEncoding::Utf16BE;
    }
    *markLength = 0;
    return LogEncoding::Ansi;
}

// The Unicode encodings are decoded piece by piece without state, every piece starting where a
// character starts, which is what makes the result independent of the chunks. The byte-order mark was
// taken off before decoding starts, so a U+FEFF at the start of a piece is a character and is kept.
// The system code page of Windows may have two-byte characters: Qt keeps its state between chunks.
LogDecoder::LogDecoder(LogEncoding encoding)
    : encoding_(encoding),
      decoder_(converterFor(encoding),
               encoding == LogEncoding::Ansi
                   ? QStringConverter::Flag::Default
                   : QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)
{
}

qsizetype LogDecoder::decodeWhole(QByteArrayView bytes, char16_t *out)
{
    // An odd byte left at the end of UTF-16 is a cut character; Qt drops one that stands alone.
    const bool oddByte =
        (encoding_ == LogEncoding::Utf16LE || encoding_ == LogEncoding::Utf16BE) && bytes.size() % 2 != 0;
    if (oddByte)
        bytes.chop(1);
    QChar *end = decoder_.appendToBuffer(reinterpret_cast<QChar *>(out), bytes);
    if (oddByte)
        *end++ = QChar::ReplacementCharacter;
    return end - reinterpret_cast<QChar *>(out);
}

qsizetype LogDecoder::decode(QByteArrayView bytes, char16_t *out, bool atEnd)
{
    if (encoding_ == LogEncoding::Ansi) {
#ifndef Q_OS_WIN
        detail::widenWindows1252(bytes.data(), bytes.size(), out);
        return bytes.size();
#else
        // Qt 6.4 drops a NUL that ends a piece it decodes in the system code page, so a run of NULs
        // would lose one at every chunk. A NUL is never part of a character in a Windows code page:
        // NULs are copied, and only the bytes between them decoded.
        qsizetype written = 0;
        while (!bytes.isEmpty()) {
            const qsizetype nul = bytes.indexOf('\0');
            if (nul != 0)
                written += decodeWhole(bytes.first(nul < 0 ? bytes.size() : nul), out + written);
            if (nul < 0)
                break;
            out[written++] = u'\0';
            bytes = bytes.sliced(nul + 1);
        }
        return written;
#endif
    }
    const bool utf8 = encoding_ == LogEncoding::Utf8;
    auto isContinuation = [](char b) { return (static_cast<unsigned char>(b) & 0xC0) == 0x80; };

    qsizetype written = 0;
    if (heldSize_ > 0) {
        // The held bytes with those that continue them. In UTF-8 a byte that is not a continuation
        // byte never belongs to an earlier sequence, and no sequence is longer than four bytes.
        const qsizetype whole = utf8 ? 4 : 2;
        qsizetype take = 0;
        while (heldSize_ + take < whole && take < bytes.size() && (!utf8 || isContinuation(bytes[take])))
            ++take;
        if (take > 0)
            std::memcpy(held_ + heldSize_, bytes.data(), size_t(take));
        heldSize_ += take;
        bytes = bytes.sliced(take);
        if (bytes.isEmpty() && !atEnd && heldSize_ < whole)
            return 0; // more of the sequence may come
        written = decodeWhole(QByteArrayView(held_, heldSize_), out);
        heldSize_ = 0;
    }
    if (!atEnd) {
        // Hold back a sequence that the chunk may cut off: in UTF-8 one whose first byte is among the
        // last three (a lead byte, 0xC0 or above), in UTF-16 an odd byte.
        qsizetype tail = 0;
        if (utf8) {
            for (qsizetype i = bytes.size() - 1; i >= 0 && i >= bytes.size() - 3; --i) {
                if (static_cast<unsigned char>(bytes[i]) >= 0xC0) {
                    tail = bytes.size() - i;
                    break;
                }
            }
        } else {
            tail = bytes.size() % 2;
        }
        if (tail > 0) {
            std::memcpy(held_, bytes.data() + bytes.size() - tail, size_t(tail));
            heldSize_ = tail;
            bytes.chop(tail);
        }
    }
    return written + decodeWhole(bytes, out + written);
}

QByteArray encodeAnsi(QStringView text)
{
#ifdef Q_OS_WIN
    // The system's converter writes a look-alike for a character the code page lacks ("best fit": an
    // A for an A with a macron) and a "?" for each half of a surrogate pair. So what does not come back
    // unchanged from the bytes is written again a character at a time, each that fails as one "?".
    const auto roundTrips = [](QStringView part, const QByteArray &bytes) {
        return QString(QStringDecoder(QStringConverter::System).decode(bytes)) == part;
    };
    QByteArray bytes = QStringEncoder(QStringConverter::System).encode(text);
    if (roundTrips(text, bytes))
        return bytes;
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = QChar::isHighSurrogate(text[i].unicode()) && i + 1 < text.size() &&
                          QChar::isLowSurrogate(text[i + 1].unicode());
        const QStringView character = text.sliced(i, pair ? 2 : 1);
        const QByteArray encoded = QStringEncoder(QStringConverter::System).encode(character);
        bytes += roundTrips(character, encoded) ? encoded : QByteArray("?");
        i += character.size();
    }
    return bytes;
#else
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // A character outside the code page is one "?", even when it takes two UTF-16 units.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        bytes.append(unicodeToWindows1252(c));
    }
    return bytes;
#endif
}

QString decodeAnsi(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    LogDecoder decoder(LogEncoding::Ansi);
    text.resize(decoder.decode(bytes, reinterpret_cast<char16_t *>(text.data())));
    return text;
}

} // namespace modMain
