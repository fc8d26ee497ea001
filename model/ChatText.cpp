#include <QChar>

#include <algorithm>
#include <cstring>

#include "LineParser.h"
#include "modMain.h"

namespace modMain {
namespace {

// Calls show(record) once for every selection entry that names the record's chat, when the display
// options let it show, in file order.
template <typename Emit>
void ForEachShown(const QList<ChatLine> &chatLog, const QStringList &selection, const DisplayOptions &options,
                  Emit show)
{
    for (const ChatLine &record : chatLog) {
        if ((record.IsGameFeedback && !options.DisplayGameFeedback) || (record.IsSystem && !options.DisplaySystem))
            continue;
        for (const QString &name : selection) {
            if (detail::Same(name, record.ChatName))
                show(record);
        }
    }
}

constexpr qsizetype kStampLength = 21; // "[" + "mm/dd/yyyy hh:nn:ss" + "]"

bool HasNoCase(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.toCaseFolded() == c && c.toUpper() == c && c.toLower() == c;
    });
}

} // namespace

QString BuildChatText(const QList<ChatLine> &chatLog, const QStringList &selection, const DisplayOptions &options)
{
    // Measured first, then written into one allocation of the exact size.
    qsizetype total = 0;
    const qsizetype perLine = 2 + (options.ShowTimestamp ? kStampLength : 0);
    ForEachShown(chatLog, selection, options, [&](const ChatLine &record) { total += record.Text.size() + perLine; });
    if (total == 0)
        return QString();

    QString text(total, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    ForEachShown(chatLog, selection, options, [&](const ChatLine &record) {
        if (options.ShowTimestamp) {
            *out++ = u'[';
            FormatTimestampTo(record.TimeStamp, out);
            out += 19;
            *out++ = u']';
        }
        std::memcpy(out, record.Text.constData(), record.Text.size() * sizeof(char16_t));
        out += record.Text.size();
        *out++ = u'\r';
        *out++ = u'\n';
    });
    return text;
}

qsizetype FindNearest(QStringView text, QStringView find, qsizetype position, qsizetype range)
{
    if (text.isEmpty() || find.isEmpty())
        return -1;
    // A find string without letters compares the same with or without case, so any occurrence met on
    // the way out from the start proves its presence: the whole-text presence test is skipped, and the
    // cost follows the distance to the nearest occurrence, not the length of the text.
    const bool caseless = HasNoCase(find);
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

} // namespace modMain
