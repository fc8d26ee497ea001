#include <QChar>

#include <algorithm>
#include <cstring>

#include "LineParser.h"
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

// How many selection entries name a chat. The loader shares one string per chat name, so a log holds
// only a few distinct name buffers: answers are kept per buffer (a buffer's characters cannot change
// while the log is only read), and most records cost one lookup instead of a comparison per entry.
class SelectionCounter {
public:
    explicit SelectionCounter(const QStringList &selection) : selection_(selection) {}

    int count(const QString &name)
    {
        Slot &slot = slots_[(quintptr(name.constData()) >> 4) % kSlots];
        if (slot.data == name.constData() && slot.size == name.size())
            return slot.count;
        int count = 0;
        for (const QString &entry : selection_) {
            if (detail::same(entry, name))
                ++count;
        }
        slot = {name.constData(), name.size(), count};
        return count;
    }

private:
    struct Slot {
        const QChar *data = nullptr;
        qsizetype size = -1;
        int count = 0;
    };
    static constexpr size_t kSlots = 64;
    const QStringList &selection_;
    Slot slots_[kSlots];
};

// Appends into one growing string through a raw cursor. Growth doubles the capacity; a large string
// grows by realloc, which the C library does by remapping pages rather than copying them.
class TextWriter {
public:
    char16_t *room(qsizetype needed)
    {
        if (end_ - out_ < needed)
            grow(needed);
        return out_;
    }
    void advance(char16_t *to) { out_ = to; }

    QString take()
    {
        if (!base_)
            return QString();
        text_.resize(out_ - base_);
        text_.squeeze();
        return std::move(text_);
    }

private:
    void grow(qsizetype needed)
    {
        const qsizetype used = out_ - base_;
        text_.resize(std::max({used + needed, 2 * text_.size(), qsizetype(4096)}));
        text_.resize(text_.capacity()); // whatever the allocation gave is room too
        base_ = reinterpret_cast<char16_t *>(text_.data());
        out_ = base_ + used;
        end_ = base_ + text_.size();
    }

    QString text_;
    char16_t *base_ = nullptr;
    char16_t *out_ = nullptr;
    char16_t *end_ = nullptr;
};

} // namespace

QString BuildChatText(const QList<ChatLine> &chatLog, const QStringList &selection,
                      const DisplayOptions &options)
{
    // One pass over the log: the records are many and large, so reading them twice (to measure, then
    // to copy) costs more than growing the result.
    SelectionCounter counter(selection);
    TextWriter writer;
    TimestampFormatter stamps;
    const qsizetype perLine = 2 + (options.ShowTimestamp ? kStampLength : 0);
    for (const ChatLine &record : chatLog) {
        if ((record.IsGameFeedback && !options.DisplayGameFeedback) ||
            (record.IsSystem && !options.DisplaySystem))
            continue;
        // A name given twice in the selection shows its records twice.
        for (int times = counter.count(record.ChatName); times > 0; --times) {
            const qsizetype size = record.Text.size();
            char16_t *out = writer.room(size + perLine);
            if (options.ShowTimestamp) {
                *out++ = u'[';
                stamps.formatTo(record.TimeStamp, out);
                out += 19;
                *out++ = u']';
            }
            std::memcpy(out, record.Text.constData(), size * sizeof(char16_t));
            out += size;
            *out++ = u'\r';
            *out++ = u'\n';
            writer.advance(out);
        }
    }
    return writer.take();
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
