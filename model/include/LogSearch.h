#pragma once

#include <QByteArrayMatcher>
#include <QList>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <vector>

#include "modMain.h"

// The search across every chat of a loaded log: the records whose text a matcher finds, in file order.
// Pure and GUI-free; the window runs it on a worker, step by step, handing on what each step found.
namespace modMain {

class TextMatcher;

// Looks through the records of a log, in file order, for those the matcher matches: the records the
// chat view shows under the display options (game feedback and system lines left out as it leaves
// them out), each matched on its text after the timestamp. A record the matcher cannot decide on ends
// the search there: it is neither a match nor passed over. The records and the matcher must outlive
// the search and must not change meanwhile.
class RecordSearch {
public:
    RecordSearch(const ChatLogRecords &records, TextMatcher &matcher, const DisplayOptions &options);

    // Searches on through at most about count records (never fewer than one, while any are left) and
    // appends the numbers of those that match to found. False once the search has ended: every record
    // searched, or the matcher gave up.
    bool searchOn(qsizetype count, QList<qsizetype> *found);

    bool atEnd() const { return next_ >= records_.size() || gaveUpAt_ >= 0; }
    // The record the matcher gave up on, or -1.
    qsizetype gaveUpAt() const { return gaveUpAt_; }
    // The records searched so far and the distinct chats of the matches.
    qsizetype searched() const { return next_; }
    qsizetype matches() const { return matches_; }
    qsizetype chats() const { return chats_; }

private:
    const ChatLogRecords &records_;
    TextMatcher &matcher_;
    quint8 hidden_ = 0;
    qsizetype next_ = 0;    // the next record to search
    qsizetype segment_ = 0; // where it is in the columns
    qsizetype inSegment_ = 0;
    qsizetype gaveUpAt_ = -1;
    qsizetype matches_ = 0;
    qsizetype chats_ = 0;
    std::vector<bool> chatSeen_;
    std::vector<char16_t> text_; // the record's text, widened

    // A text every match holds, looked for in the bytes of the texts kept in windows-1252, so that
    // those without it are passed over undecoded. Where it has no such bytes, no such text holds it.
    std::optional<QByteArrayMatcher> required_;
    bool requiredIsNarrow_ = false;
    qsizetype nextRequired_ = -1; // where it next occurs in the segment's bytes, when known
};

// Where record's line starts in BuildChatText(records, selection, options): a 0-based position, at the
// line's timestamp when the text shows timestamps. -1 when the text does not show the record (another
// chat, or a line the options hide). A chat named twice in the selection shows its lines twice; this
// is the first.
qsizetype lineOffsetInChatText(const ChatLogRecords &records, qsizetype record, const QStringList &selection,
                               const DisplayOptions &options);

// The characters a line's timestamp takes before its text in a chat's text under options.
qsizetype stampLength(const DisplayOptions &options);

} // namespace modMain
