#include "ChatSearch.h"

#include <QChar>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#endif

#include "modMain.h"

namespace modMain {
namespace {

// A whole chat is read per step, so the per-character work is kept to a load or two: case folding by a
// table of every UTF-16 unit (128 KB, made on first use), and on x86 a vector filter that looks at
// eight positions at once for the needle's first and last units before comparing the rest.
const char16_t *foldTable()
{
    static const std::vector<char16_t> kFolds = [] {
        std::vector<char16_t> folds(0x10000);
        for (char32_t unit = 0; unit < 0x10000; ++unit)
            folds[unit] = char16_t(QChar::toCaseFolded(unit));
        return folds;
    }();
    return kFolds.data();
}

// A needle prepared for one search: its units (folded when case does not matter) and, for the filter,
// every unit of the text that can stand for its first and for its last unit.
class Needle {
public:
    static constexpr int kMaxVariants = 4;

    Needle(QStringView needle, Qt::CaseSensitivity cs)
        : fold_(cs == Qt::CaseInsensitive ? foldTable() : nullptr), units_(needle.size())
    {
        for (qsizetype i = 0; i < needle.size(); ++i)
            units_[i] = folded(needle.utf16()[i]);
        first_ = variants(units_[0]);
        last_ = variants(units_[units_.size() - 1]);
    }

    qsizetype size() const { return units_.size(); }
    char16_t folded(char16_t unit) const { return fold_ ? fold_[unit] : unit; }
    char16_t at(qsizetype i) const { return units_[i]; }
    bool matchesAt(const char16_t *text) const
    {
        for (qsizetype i = 0; i < units_.size(); ++i) {
            if (folded(text[i]) != units_[i])
                return false;
        }
        return true;
    }

    // The text units that fold to unit; count is kMaxVariants + 1 when there are more than the filter
    // can take.
    struct Variants {
        std::array<char16_t, kMaxVariants> units{};
        int count = 0;
    };
    const Variants &first() const { return first_; }
    const Variants &last() const { return last_; }
    bool filterable() const { return first_.count <= kMaxVariants && last_.count <= kMaxVariants; }

private:
    Variants variants(char16_t unit) const
    {
        Variants result;
        if (!fold_) {
            result.units[0] = unit;
            result.count = 1;
            return result;
        }
        for (char32_t candidate = 0; candidate < 0x10000; ++candidate) {
            if (fold_[candidate] != unit)
                continue;
            if (result.count == kMaxVariants) {
                result.count = kMaxVariants + 1;
                break;
            }
            result.units[result.count++] = char16_t(candidate);
        }
        return result;
    }

    const char16_t *fold_;
    QVarLengthArray<char16_t, 64> units_;
    Variants first_, last_;
};

// Boyer-Moore-Horspool over UTF-16, where the filter is not available. The shift table is indexed by
// the low byte of a unit: units that share it share the smallest shift of any of them, which is never
// too far.
using ShiftTable = std::array<qsizetype, 256>;

qsizetype horspoolForward(QStringView text, const Needle &needle, qsizetype from)
{
    const qsizetype n = text.size();
    const qsizetype m = needle.size();
    ShiftTable shift;
    shift.fill(m);
    for (qsizetype i = 0; i + 1 < m; ++i)
        shift[needle.at(i) & 0xFF] = m - 1 - i;
    const char16_t *t = text.utf16();
    const char16_t last = needle.at(m - 1);
    for (qsizetype pos = from; pos <= n - m;) {
        const char16_t c = needle.folded(t[pos + m - 1]);
        if (c == last && needle.matchesAt(t + pos))
            return pos;
        pos += shift[c & 0xFF];
    }
    return -1;
}

// The mirror image: windows move from the end towards the start and are matched on their first unit.
qsizetype horspoolBackward(QStringView text, const Needle &needle, qsizetype end)
{
    const qsizetype m = needle.size();
    ShiftTable shift;
    shift.fill(m);
    for (qsizetype i = m - 1; i > 0; --i)
        shift[needle.at(i) & 0xFF] = i;
    const char16_t *t = text.utf16();
    const char16_t first = needle.at(0);
    for (qsizetype pos = end - m; pos >= 0;) {
        const char16_t c = needle.folded(t[pos]);
        if (c == first && needle.matchesAt(t + pos))
            return pos;
        pos -= shift[c & 0xFF];
    }
    return -1;
}

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)

// Eight positions at a time: a bit pair in the mask for each position whose unit and the unit m - 1
// further on can be the needle's first and last.
template <int Variants> class Filter {
public:
    explicit Filter(const Needle &needle)
    {
        for (int i = 0; i < Variants; ++i) {
            // Fewer variants than slots repeat the first one.
            const auto &f = needle.first(), &l = needle.last();
            first_[i] = _mm_set1_epi16(short(f.units[i < f.count ? i : 0]));
            last_[i] = _mm_set1_epi16(short(l.units[i < l.count ? i : 0]));
        }
    }
    unsigned candidates(const char16_t *at, qsizetype m) const
    {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + m - 1));
        __m128i isFirst = _mm_cmpeq_epi16(head, first_[0]);
        __m128i isLast = _mm_cmpeq_epi16(tail, last_[0]);
        for (int i = 1; i < Variants; ++i) {
            isFirst = _mm_or_si128(isFirst, _mm_cmpeq_epi16(head, first_[i]));
            isLast = _mm_or_si128(isLast, _mm_cmpeq_epi16(tail, last_[i]));
        }
        return unsigned(_mm_movemask_epi8(_mm_and_si128(isFirst, isLast))) & 0x5555u;
    }

private:
    __m128i first_[Variants];
    __m128i last_[Variants];
};

constexpr qsizetype kLanes = 8;

template <int Variants> qsizetype filteredForward(QStringView text, const Needle &needle, qsizetype from)
{
    const Filter<Variants> filter(needle);
    const char16_t *t = text.utf16();
    const qsizetype n = text.size(), m = needle.size();
    qsizetype pos = from;
    for (; pos + m - 1 + kLanes <= n; pos += kLanes) {
        for (unsigned mask = filter.candidates(t + pos, m); mask; mask &= mask - 1) {
            const qsizetype at = pos + std::countr_zero(mask) / 2;
            if (needle.matchesAt(t + at))
                return at;
        }
    }
    for (; pos + m <= n; ++pos) {
        if (needle.matchesAt(t + pos))
            return pos;
    }
    return -1;
}

template <int Variants> qsizetype filteredBackward(QStringView text, const Needle &needle, qsizetype end)
{
    const Filter<Variants> filter(needle);
    const char16_t *t = text.utf16();
    const qsizetype m = needle.size();
    qsizetype last = end - m; // the last start that ends at or before end
    for (; last - (kLanes - 1) >= 0; last -= kLanes) {
        const qsizetype base = last - (kLanes - 1);
        for (unsigned mask = filter.candidates(t + base, m); mask;) {
            const int bit = 31 - std::countl_zero(mask);
            const qsizetype at = base + bit / 2;
            if (needle.matchesAt(t + at))
                return at;
            mask &= ~(1u << bit);
        }
    }
    for (; last >= 0; --last) {
        if (needle.matchesAt(t + last))
            return last;
    }
    return -1;
}

qsizetype searchForward(QStringView text, const Needle &needle, qsizetype from)
{
    if (!needle.filterable())
        return horspoolForward(text, needle, from);
    const int variants = std::max(needle.first().count, needle.last().count);
    if (variants == 1)
        return filteredForward<1>(text, needle, from);
    if (variants == 2)
        return filteredForward<2>(text, needle, from);
    return filteredForward<Needle::kMaxVariants>(text, needle, from);
}

qsizetype searchBackward(QStringView text, const Needle &needle, qsizetype end)
{
    if (!needle.filterable())
        return horspoolBackward(text, needle, end);
    const int variants = std::max(needle.first().count, needle.last().count);
    if (variants == 1)
        return filteredBackward<1>(text, needle, end);
    if (variants == 2)
        return filteredBackward<2>(text, needle, end);
    return filteredBackward<Needle::kMaxVariants>(text, needle, end);
}

#else

qsizetype searchForward(QStringView text, const Needle &needle, qsizetype from)
{
    return horspoolForward(text, needle, from);
}

qsizetype searchBackward(QStringView text, const Needle &needle, qsizetype end)
{
    return horspoolBackward(text, needle, end);
}

#endif

// Letters beyond the Basic Multilingual Plane fold as whole code points, which the unit table cannot
// do; a needle that holds any is rare enough to leave to the library's slower search.
bool foldsBeyondUnits(QStringView needle, Qt::CaseSensitivity cs)
{
    return cs == Qt::CaseInsensitive &&
           std::any_of(needle.begin(), needle.end(), [](QChar c) { return c.isSurrogate(); });
}

} // namespace

qsizetype findForward(QStringView text, QStringView needle, qsizetype from, Qt::CaseSensitivity cs)
{
    from = std::max<qsizetype>(from, 0);
    if (needle.isEmpty() || from + needle.size() > text.size())
        return -1;
    if (foldsBeyondUnits(needle, cs))
        return text.indexOf(needle, from, cs);
    return searchForward(text, Needle(needle, cs), from);
}

qsizetype findBackward(QStringView text, QStringView needle, qsizetype end, Qt::CaseSensitivity cs)
{
    end = std::min(end, text.size());
    if (needle.isEmpty() || end < needle.size())
        return -1;
    if (foldsBeyondUnits(needle, cs))
        return text.lastIndexOf(needle, end - needle.size(), cs);
    return searchBackward(text, Needle(needle, cs), end);
}

qsizetype pageOfRange(QStringView text, qsizetype position, qsizetype length)
{
    const qsizetype pages = PageCount(text);
    if (pages == 0 || position < 0 || length < 0 || position + length > text.size())
        return 0;
    // Page starts never decrease (each cut is the line end nearest to a boundary that grows from page
    // to page), so the last page that starts at or before position is found by halving.
    qsizetype low = 1, high = pages;
    while (low < high) {
        const qsizetype middle = low + (high - low + 1) / 2;
        if (PageRange(text, middle).start <= position)
            low = middle;
        else
            high = middle - 1;
    }
    // The page before may be one that runs on to the end of the text.
    for (qsizetype page = low; page >= std::max<qsizetype>(1, low - 1); --page) {
        const PageSpan span = PageRange(text, page);
        if (span.start <= position && position + length <= span.start + span.length)
            return page;
    }
    return 0;
}

ChatMatch findInChat(QStringView text, QStringView needle, qsizetype from, SearchDirection direction,
                     Qt::CaseSensitivity cs, bool wrapAround)
{
    from = std::clamp<qsizetype>(from, 0, text.size());
    const qsizetype m = needle.size();
    if (m == 0)
        return {};
    bool wrapped = false;
    if (direction == SearchDirection::Down) {
        qsizetype cursor = from;
        for (;;) {
            const qsizetype position = findForward(text, needle, cursor, cs);
            if (wrapped && (position == -1 || position >= from))
                return {};
            if (position == -1) {
                if (from == 0 || !wrapAround)
                    return {}; // the whole text has been searched, or all that is to be
                wrapped = true;
                cursor = 0;
                continue;
            }
            if (const qsizetype page = pageOfRange(text, position, m))
                return {position, page, wrapped};
            cursor = position + 1;
        }
    }
    qsizetype end = from;
    for (;;) {
        const qsizetype position = findBackward(text, needle, end, cs);
        if (wrapped && (position == -1 || position + m <= from))
            return {};
        if (position == -1) {
            if (from == text.size() || !wrapAround)
                return {};
            wrapped = true;
            end = text.size();
            continue;
        }
        if (const qsizetype page = pageOfRange(text, position, m))
            return {position, page, wrapped};
        end = position + m - 1;
    }
}

qsizetype viewPosition(QStringView pageText, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, pageText.size());
    qsizetype breaks = 0;
    for (qsizetype i = pageText.indexOf(u"\r\n"); i != -1 && i < offset;
         i = pageText.indexOf(u"\r\n", i + 2)) {
        if (i + 1 == offset)
            return i - breaks; // between CR and LF: at the break
        ++breaks;
    }
    return offset - breaks;
}

qsizetype pageOffset(QStringView pageText, qsizetype viewPosition)
{
    viewPosition = std::max<qsizetype>(viewPosition, 0);
    qsizetype offset = 0; // start of the current line in the page's text
    qsizetype shown = 0;  // the same place in the box
    for (;;) {
        const qsizetype lineEnd = pageText.indexOf(u"\r\n", offset);
        const qsizetype lineLength = (lineEnd == -1 ? pageText.size() : lineEnd) - offset;
        if (lineEnd == -1 || viewPosition <= shown + lineLength)
            return std::min(offset + (viewPosition - shown), pageText.size());
        shown += lineLength + 1;
        offset = lineEnd + 2;
    }
}

} // namespace modMain
