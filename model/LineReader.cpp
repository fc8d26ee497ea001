#include "LineReader.h"

#include <QByteArray>

#include <algorithm>

#include "LocalFiles.h"

namespace modMain::detail {

qint64 countLineEnds(const char *p, const char *end, bool &crBefore)
{
    if (p == end)
        return 0;
    qint64 ends = *p == '\r' || (*p == '\n' && !crBefore);
    const char *q = p + 1;
#if defined(__SSE2__)
    // Sixteen bytes at a time into sixteen byte-wide counters, summed before any can overflow: this
    // runs over every byte of a search that passes most lines over unread, and must stay cheap.
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    while (end - q >= 16) {
        __m128i counts = _mm_setzero_si128();
        for (qsizetype round = std::min<qsizetype>((end - q) / 16, 255); round > 0; --round, q += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q - 1));
            const __m128i lineEnds = _mm_or_si128(
                _mm_cmpeq_epi8(v, cr), _mm_andnot_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(v, lf)));
            counts = _mm_sub_epi8(counts, lineEnds); // a line end compares as -1
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        ends += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
    }
#endif
    for (; q < end; ++q)
        ends += *q == '\r' || (*q == '\n' && q[-1] != '\r');
    crBefore = end[-1] == '\r';
    return ends;
}

LineStart lineStartBefore(int handle, qint64 position, qint64 floor, LogEncoding encoding, QString *error)
{
    const qint64 unit = unitSize(encoding);
    auto unitAt = [&](const char *p) -> char16_t {
        const auto first = static_cast<unsigned char>(p[0]), second = static_cast<unsigned char>(p[1]);
        return encoding == LogEncoding::Utf16LE ? char16_t(first | second << 8)
                                                : char16_t(second | first << 8);
    };
    constexpr qint64 kBlock = qint64(1) << 16;
    QByteArray block(kBlock, Qt::Uninitialized);
    while (position > floor) {
        const qint64 from = position - std::min(kBlock, position - floor);
        qint64 got = 0;
        for (qint64 n = 1; n > 0 && from + got < position; got += n) {
            n = localfiles::readAt(handle, from + got, block.data() + got, position - from - got, error);
            if (n < 0)
                return {};
        }
        const char *begin = block.constData();
        qint64 last = -1; // the offset in the block of the last line end
        if (unit == 1) {
            const char *end = findLastLineEnd(begin, begin + got);
            last = end ? end - begin : -1;
        } else {
            for (qint64 i = got - got % unit - unit; i >= 0 && last < 0; i -= unit) {
                if (const char16_t c = unitAt(begin + i); c == u'\r' || c == u'\n')
                    last = i;
            }
        }
        if (last >= 0) {
            const bool afterCr = unit == 1 ? begin[last] == '\r' : unitAt(begin + last) == u'\r';
            return {from + last + unit, true, afterCr};
        }
        position = from;
    }
    return {floor, false, false};
}

} // namespace modMain::detail
