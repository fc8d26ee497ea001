#include "ChatSearch.h"

#include <QChar>
#include <QVarLengthArray>

#include <algorithm>
#include <array>

#include "modMain.h"

namespace modMain {
namespace {

// Case folding per UTF-16 unit, with the ASCII letters that make up most of a chat done inline: a whole
// chat is scanned per step, so a library call per character would dominate.
struct FoldCase {
    char16_t operator()(char16_t c) const
    {
        if (c < 0x80)
            return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
        return char16_t(QChar::toCaseFolded(char32_t(c)));
    }
};

struct KeepCase {
    char16_t operator()(char16_t c) const { return c; }
};

// Boyer-Moore-Horspool over UTF-16. The shift table is indexed by the low byte of a unit: units that
// share it share the smallest shift of any of them, which is never too far.
using ShiftTable = std::array<qsizetype, 256>;

template <typename Fold>
qsizetype horspoolForward(QStringView text, QStringView needle, qsizetype from, Fold fold)
{
    const qsizetype n = text.size();
    const qsizetype m = needle.size();
    QVarLengthArray<char16_t, 64> pattern(m);
    for (qsizetype i = 0; i < m; ++i)
        pattern[i] = fold(needle.utf16()[i]);
    ShiftTable shift;
    shift.fill(m);
    for (qsizetype i = 0; i + 1 < m; ++i)
        shift[pattern[i] & 0xFF] = m - 1 - i;

    const char16_t *t = text.utf16();
    const char16_t last = pattern[m - 1];
    for (qsizetype pos = from; pos <= n - m;) {
        const char16_t c = fold(t[pos + m - 1]);
        if (c == last) {
            qsizetype j = 0;
            while (j + 1 < m && fold(t[pos + j]) == pattern[j])
                ++j;
            if (j + 1 >= m)
                return pos;
        }
        pos += shift[c & 0xFF];
    }
    return -1;
}

// The mirror image: windows move from the end towards the start and are matched on their first unit.
template <typename Fold>
qsizetype horspoolBackward(QStringView text, QStringView needle, qsizetype end, Fold fold)
{
    const qsizetype m = needle.size();
    QVarLengthArray<char16_t, 64> pattern(m);
    for (qsizetype i = 0; i < m; ++i)
        pattern[i] = fold(needle.utf16()[i]);
    ShiftTable shift;
    shift.fill(m);
    for (qsizetype i = m - 1; i > 0; --i)
        shift[pattern[i] & 0xFF] = i;

    const char16_t *t = text.utf16();
    const char16_t first = pattern[0];
    for (qsizetype pos = end - m; pos >= 0;) {
        const char16_t c = fold(t[pos]);
        if (c == first) {
            qsizetype j = 1;
            while (j < m && fold(t[pos + j]) == pattern[j])
                ++j;
            if (j >= m)
                return pos;
        }
        pos -= shift[c & 0xFF];
    }
    return -1;
}

} // namespace

qsizetype findForward(QStringView text, QStringView needle, qsizetype from, Qt::CaseSensitivity cs)
{
    from = std::max<qsizetype>(from, 0);
    if (needle.isEmpty() || from + needle.size() > text.size())
        return -1;
    if (cs == Qt::CaseSensitive) {
        if (needle.size() == 1) // the library's character search is vectorised
            return text.indexOf(needle.front(), from);
        return horspoolForward(text, needle, from, KeepCase());
    }
    return horspoolForward(text, needle, from, FoldCase());
}

qsizetype findBackward(QStringView text, QStringView needle, qsizetype end, Qt::CaseSensitivity cs)
{
    end = std::min(end, text.size());
    if (needle.isEmpty() || end < needle.size())
        return -1;
    if (cs == Qt::CaseSensitive) {
        if (needle.size() == 1)
            return text.first(end).lastIndexOf(needle.front());
        return horspoolBackward(text, needle, end, KeepCase());
    }
    return horspoolBackward(text, needle, end, FoldCase());
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
                     Qt::CaseSensitivity cs)
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
                if (from == 0)
                    return {}; // the whole text has been searched
                wrapped = true;
                cursor = 0;
                continue;
            }
            if (const qsizetype page = pageOfRange(text, position, m))
                return {position, page};
            cursor = position + 1;
        }
    }
    qsizetype end = from;
    for (;;) {
        const qsizetype position = findBackward(text, needle, end, cs);
        if (wrapped && (position == -1 || position + m <= from))
            return {};
        if (position == -1) {
            if (from == text.size())
                return {};
            wrapped = true;
            end = text.size();
            continue;
        }
        if (const qsizetype page = pageOfRange(text, position, m))
            return {position, page};
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
