#include <QChar>
#include <QHash>

#include <algorithm>
#include <cstring>

#include "LineParser.h"
#include "LogSearch.h"
#include "WriteAhead.h"
#include "modMain.h"

namespace modMain {
namespace {

constexpr qsizetype kStampLength = 21; // "[" + "mm/dd/yyyy hh:nn:ss" + "]"

// True when no other character compares equal to any character of text without regard to case. Only
// ASCII characters that are not letters are sure to: "ß" has no case of its own but "ẞ" folds to it,
// "k" has the Kelvin sign, and a surrogate says nothing about the case of its letter.
bool hasNoCase(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x80 && !((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z'));
    });
}

// How many selection entries name a chat: a name given twice in the selection shows its records twice.
// A merged chat may name thousands of chats, each asked about once per record or name: past a few
// entries they are counted once, by name, so that a question costs a lookup, not a pass over them all.
class SelectionCounts {
public:
    explicit SelectionCounts(const QStringList &selection) : selection_(selection)
    {
        if (selection.size() <= kFewEntries)
            return;
        counts_.reserve(selection.size());
        for (const QString &entry : selection)
            ++counts_[QStringView(entry)];
    }
    int timesSelected(QStringView name) const
    {
        if (selection_.size() > kFewEntries)
            return counts_.value(name);
        int count = 0;
        for (const QString &entry : selection_) {
            if (detail::same(entry, name))
                ++count;
        }
        return count;
    }

private:
    static constexpr qsizetype kFewEntries = 8;
    const QStringList &selection_;
    QHash<QStringView, int> counts_;
};

// Writes one line of a chat's text: the timestamp when asked for, the text, CR LF.
template <typename WriteText>
char16_t *writeLine(char16_t *out, double timeStamp, bool withStamp, TimestampFormatter &stamps,
                    WriteText &&writeText)
{
    if (withStamp) {
        *out++ = u'[';
        stamps.formatTo(timeStamp, out);
        out += 19;
        *out++ = u']';
    }
    out = writeText(out);
    *out++ = u'\r';
    *out++ = u'\n';
    return out;
}

// How a selection's text is laid out from the columns: how many times each chat of the table shows,
// the flags that hide a record, and what a line adds to its text.
struct TextLayout {
    QList<int> times;
    bool any = false;
    quint8 hidden = 0;
    qsizetype perLine = 0;
};

TextLayout textLayout(const ChatLogRecords &chatLog, const QStringList &selection,
                      const DisplayOptions &options)
{
    const QStringList &names = chatLog.chatNames();
    TextLayout layout;
    layout.times.resize(names.size());
    const SelectionCounts selected(selection);
    for (qsizetype i = 0; i < names.size(); ++i) {
        layout.times[i] = selected.timesSelected(names[i]);
        layout.any = layout.any || layout.times[i] > 0;
    }
    layout.hidden = (options.DisplayGameFeedback ? 0 : ChatLogRecords::GameFeedback) |
                    (options.DisplaySystem ? 0 : ChatLogRecords::System);
    layout.perLine = 2 + stampLength(options);
    return layout;
}

// The characters that the lines of the records before end take in the text, measured from the columns
// without touching the texts.
qsizetype measureText(const ChatLogRecords &chatLog, const TextLayout &layout, qsizetype end)
{
    qsizetype total = 0;
    for (qsizetype s = 0; s < chatLog.segmentCount() && end > 0; ++s) {
        const ChatLogRecords::Segment &segment = chatLog.segment(s);
        const qsizetype records = std::min(segment.size(), end);
        for (qsizetype i = 0; i < records; ++i) {
            const int n = layout.times[segment.chat(i)];
            if (n > 0 && !(segment.flags(i) & layout.hidden))
                total += n * (segment.textSize(i) + layout.perLine);
        }
        end -= records;
    }
    return total;
}

} // namespace

qsizetype stampLength(const DisplayOptions &options)
{
    return options.ShowTimestamp ? kStampLength : 0;
}

qsizetype lineOffsetInChatText(const ChatLogRecords &records, qsizetype record, const QStringList &selection,
                               const DisplayOptions &options)
{
    if (record < 0 || record >= records.size())
        return -1;
    const TextLayout layout = textLayout(records, selection, options);
    const ChatLine line = records.at(record);
    const qsizetype chat = records.chatNames().indexOf(line.ChatName);
    const bool hidden =
        (line.IsGameFeedback && !options.DisplayGameFeedback) || (line.IsSystem && !options.DisplaySystem);
    if (chat < 0 || layout.times[chat] == 0 || hidden)
        return -1;
    return measureText(records, layout, record);
}

QString BuildChatText(const QList<ChatLine> &chatLog, const QStringList &selection,
                      const DisplayOptions &options)
{
    // Records built by hand: few, each with a name of its own, looked up in the selection one by one.
    QString text;
    TimestampFormatter stamps;
    const qsizetype perLine = 2 + (options.ShowTimestamp ? kStampLength : 0);
    const SelectionCounts selected(selection);
    for (const ChatLine &record : chatLog) {
        if ((record.IsGameFeedback && !options.DisplayGameFeedback) ||
            (record.IsSystem && !options.DisplaySystem))
            continue;
        for (int times = selected.timesSelected(record.ChatName); times > 0; --times) {
            const qsizetype size = record.Text.size(), used = text.size();
            text.resize(used + size + perLine);
            writeLine(reinterpret_cast<char16_t *>(text.data()) + used, record.TimeStamp,
                      options.ShowTimestamp, stamps, [&](char16_t *out) {
                          std::memcpy(out, record.Text.constData(), size * sizeof(char16_t));
                          return out + size;
                      });
        }
    }
    return text;
}

QString BuildChatText(const ChatLogRecords &chatLog, const QStringList &selection,
                      const DisplayOptions &options)
{
    const TextLayout layout = textLayout(chatLog, selection, options);
    if (!layout.any)
        return QString();
    const QList<int> &times = layout.times;
    const quint8 hidden = layout.hidden;

    // Measured first, so the text is allocated once: a string grown as it is written takes up to twice
    // its size meanwhile, and the time it takes to grow is what makes assembly slower per character on
    // a large log.
    const qsizetype total = measureText(chatLog, layout, chatLog.size());
    if (total == 0)
        return QString();

    QString text(total, Qt::Uninitialized);
    char16_t *const base = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = base;
    TimestampFormatter stamps;
    for (qsizetype s = 0; s < chatLog.segmentCount(); ++s) {
        const ChatLogRecords::Segment &segment = chatLog.segment(s);
        for (qsizetype i = 0; i < segment.size(); ++i) {
            const int n = times[segment.chat(i)];
            if (n == 0 || (segment.flags(i) & hidden))
                continue;
            const qsizetype written = out - base, lines = n * (segment.textSize(i) + layout.perLine);
            detail::writeAhead(base, 2 * written, 2 * (written + lines), 2 * total);
            for (int k = 0; k < n; ++k) {
                out = writeLine(out, segment.timeStamp(i), options.ShowTimestamp, stamps,
                                [&](char16_t *to) { return segment.writeText(i, to); });
            }
        }
    }
    Q_ASSERT(out == base + total);
    return text;
}

qsizetype FindNearest(QStringView text, QStringView find, qsizetype position, qsizetype range)
{
    if (text.isEmpty() || find.isEmpty())
        return -1;
    // A find string without letters compares the same with or without case, so any occurrence met on
    // the way out from the start proves its presence: the whole-text presence test is skipped, and the
    // cost follows the distance to the nearest occurrence, not the length of the text.
    const bool caseless = hasNoCase(find);
    if (!caseless && !text.contains(find, Qt::CaseSensitive))
        return -1;

    const qsizetype length = text.size();
    const qsizetype start = std::clamp<qsizetype>(position, 1, length);
    const qsizetype reach = range == -1 ? length : range;
    // Furthest positions each direction may compare (1-based, inclusive).
    const qsizetype last = reach > 0 ? std::min(length, start + std::min(reach, length)) : start;
    const qsizetype first = reach > 0 ? std::max<qsizetype>(1, start - std::min(reach, length)) : start;
    const qsizetype n = find.size();

    auto matchesAt = [&](qsizetype at) {
        if (at - 1 + n > length)
            return false;
        const QStringView here = text.sliced(at - 1, n);
        return caseless ? here == find : here.compare(find, Qt::CaseInsensitive) == 0;
    };

    // Both directions move one character a pass; in a pass where both match, the earlier one wins.
    for (qsizetype distance = 0;; ++distance) {
        const qsizetype back = start - distance, ahead = start + distance;
        const bool backInReach = back >= first, aheadInReach = ahead <= last;
        if (!backInReach && !aheadInReach)
            return -1;
        if (backInReach && matchesAt(back))
            return back;
        if (aheadInReach && matchesAt(ahead))
            return ahead;
    }
}

qsizetype PageCount(QStringView text)
{
    return (text.size() + kPageSize - 1) / kPageSize;
}

PageSpan PageRange(QStringView text, qsizetype page)
{
    const QStringView lineEnd = u"\r\n";
    // 1-based positions, as FindNearest gives them.
    qsizetype start = 1;
    if (page > 1) {
        const qsizetype cut = FindNearest(text, lineEnd, (page - 1) * kPageSize, -1);
        start = cut == -1 ? 1 : cut + 2;
    }
    qsizetype end = FindNearest(text, lineEnd, std::max<qsizetype>(page, 1) * kPageSize, -1);
    if (end == -1)
        end = text.size();
    const qsizetype from = std::min(start - 1, text.size());
    return {from, start < end ? end - start : text.size() - from};
}

} // namespace modMain
