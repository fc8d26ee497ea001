#include "LogSearch.h"

#include <algorithm>
#include <limits>

#include "CodePage1252.h"
#include "TextMatcher.h"

namespace modMain {
namespace {

constexpr qsizetype kNowhere = std::numeric_limits<qsizetype>::max();

} // namespace

RecordSearch::RecordSearch(const ChatLogRecords &records, TextMatcher &matcher, const DisplayOptions &options)
    : records_(records), matcher_(matcher),
      hidden_((options.DisplayGameFeedback ? 0 : ChatLogRecords::GameFeedback) |
              (options.DisplaySystem ? 0 : ChatLogRecords::System)),
      chatSeen_(size_t(records.chatNames().size()), false)
{
    const QString required = matcher.requiredText();
    if (required.isEmpty())
        return;
    QByteArray bytes(required.size(), Qt::Uninitialized);
    requiredIsNarrow_ = detail::narrowWindows1252(reinterpret_cast<const char16_t *>(required.utf16()),
                                                  required.size(), bytes.data()) == required.size();
    required_.emplace(bytes);
}

bool RecordSearch::searchOn(qsizetype count, QList<qsizetype> *found)
{
    count = std::max<qsizetype>(count, 1);
    while (!atEnd() && count > 0) {
        const ChatLogRecords::Segment &segment = records_.segment(segment_);
        const qsizetype stop = std::min(segment.size(), inSegment_ + count);
        for (qsizetype i = inSegment_; i < stop; ++i) {
            const quint8 flags = segment.flags(i);
            if (flags & hidden_)
                continue;
            if (required_ && !(flags & ChatLogRecords::WideText)) {
                if (!requiredIsNarrow_)
                    continue;
                const qsizetype start = segment.textStart(i), end = segment.textEnd(i);
                if (nextRequired_ < start) {
                    nextRequired_ = required_->indexIn(segment.textBytes(), start);
                    if (nextRequired_ < 0)
                        nextRequired_ = kNowhere;
                }
                if (nextRequired_ > end - required_->pattern().size())
                    continue; // not before the text's end
            }
            const qsizetype size = segment.textSize(i);
            if (qsizetype(text_.size()) < size)
                text_.resize(size_t(size));
            segment.writeText(i, text_.data());
            const TextMatcher::Result result = matcher_.match(QStringView(text_.data(), size));
            if (result == TextMatcher::Result::NoMatch)
                continue;
            const qsizetype record = next_ + (i - inSegment_);
            if (result == TextMatcher::Result::Undecided) {
                gaveUpAt_ = record;
                next_ = record;
                inSegment_ = i;
                return false;
            }
            found->append(record);
            ++matches_;
            const quint32 chat = segment.chat(i);
            if (!chatSeen_[chat]) {
                chatSeen_[chat] = true;
                ++chats_;
            }
        }
        count -= stop - inSegment_;
        next_ += stop - inSegment_;
        inSegment_ = stop;
        if (inSegment_ == segment.size()) {
            ++segment_;
            inSegment_ = 0;
            nextRequired_ = -1;
        }
    }
    return !atEnd();
}

} // namespace modMain
