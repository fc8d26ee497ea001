#include "ChatLogRecords.h"

#include <algorithm>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "CodePage1252.h"
#include "WriteAhead.h"
#include "modMain.h"

namespace modMain {
namespace {

// Text positions in a segment are 32 bits: a segment that would grow beyond them ends, and the next
// record starts another.
constexpr qsizetype kMaxSegmentText = std::numeric_limits<quint32>::max();

// The columns grow by this many records at a time, and then the pages of those records are mapped, in
// steps of this size.
constexpr qsizetype kColumnBatch = 1024;
constexpr qsizetype kColumnStep = qsizetype(1) << 17;
constexpr qsizetype kTextBatch = qsizetype(64) << 10;

constexpr quint8 kRecordFlags =
    ChatLogRecords::Channel | ChatLogRecords::Tell | ChatLogRecords::GameFeedback | ChatLogRecords::System;

} // namespace

char16_t *ChatLogRecords::Segment::writeText(qsizetype i, char16_t *out) const
{
    const qsizetype start = textStart(i), bytes = textEnd(i) - start;
    const char *from = texts_.constData() + start;
    if (flags(i) & WideText)
        return detail::readUtf8(from + sizeof(quint32), bytes - qsizetype(sizeof(quint32)), out);
    detail::widenWindows1252(from, bytes, out);
    return out + bytes;
}

QString ChatLogRecords::Segment::text(qsizetype i) const
{
    const qsizetype size = textSize(i);
    if (size == 0)
        return QString();
    QString text(size, Qt::Uninitialized);
    writeText(i, reinterpret_cast<char16_t *>(text.data()));
    return text;
}

// Makes room for a text of up to size bytes after start in the texts, and for one more record in the
// columns, with the pages about to be written mapped ahead; false when the segment cannot index it.
Q_ALWAYS_INLINE bool ChatLogRecords::Segment::prepare(qsizetype start, qsizetype size)
{
    if (start + size > kMaxSegmentText)
        return false;
    if (texts_.capacity() >= start + size) {
        detail::writeAhead(texts_.constData(), start, start + size, texts_.capacity());
        // The columns in smaller steps: they keep their room after the load, mapped or not.
        const qsizetype n = count_;
        if (n % kColumnBatch == 0 && chats_.capacity() > n) {
            const qsizetype to = n + kColumnBatch;
            detail::writeAhead(chats_.constData(), n * 4, to * 4, chats_.capacity() * 4, kColumnStep);
            detail::writeAhead(textEnds_.constData(), n * 4, to * 4, textEnds_.capacity() * 4, kColumnStep);
            detail::writeAhead(stamps_.constData(), n * 8, to * 8, stamps_.capacity() * 8, kColumnStep);
            detail::writeAhead(flags_.constData(), n, to, flags_.capacity(), kColumnStep);
        }
    }
    return true;
}

Q_ALWAYS_INLINE void ChatLogRecords::Segment::addColumns(quint32 chat, double timeStamp, quint8 flags)
{
    // Four appends a record cost more than the record's parsing; the columns are written in place.
    if (count_ == chats_.size())
        growColumns(1);
    chats_.data()[count_] = chat;
    flags_.data()[count_] = char(flags);
    stamps_.data()[count_] = timeStamp;
    textEnds_.data()[count_] = quint32(textsUsed_);
    ++count_;
}

Q_NEVER_INLINE void ChatLogRecords::Segment::growColumns(qsizetype records)
{
    const qsizetype to = count_ + std::max(records, kColumnBatch);
    chats_.resize(to);
    flags_.resize(to);
    stamps_.resize(to);
    textEnds_.resize(to);
}

// Where a text of size bytes goes when it starts at start, the texts grown for it when needed.
Q_ALWAYS_INLINE char *ChatLogRecords::Segment::textRoom(qsizetype start, qsizetype size)
{
    const qsizetype need = start + size;
    if (need > texts_.size()) {
        // Within the room reserved, a batch of bytes at a time; beyond it, the array's own growth.
        const qsizetype to = need <= texts_.capacity()
                                 ? std::max(need, std::min(start + kTextBatch, texts_.capacity()))
                                 : need;
        texts_.resize(to);
    }
    return texts_.data() + start;
}

bool ChatLogRecords::Segment::appendWindows1252(quint32 chat, double timeStamp, quint8 flags,
                                                QByteArrayView text)
{
    const ByteRecord record{text, timeStamp, chat, flags};
    return appendBatch(&record, 1) == 1;
}

// Adds as many of records[0, n) as the segment can index, with room made and the columns made its own
// once for them all; returns how many.
qsizetype ChatLogRecords::Segment::appendBatch(const ByteRecord *records, qsizetype n)
{
    const qsizetype start = textsUsed_;
    qsizetype k = 0, end = start;
    for (; k < n && end + records[k].windows1252.size() <= kMaxSegmentText; ++k)
        end += records[k].windows1252.size();
    if (k == 0)
        return 0;
    if (count_ + k > chats_.size())
        growColumns(k);
    textRoom(start, end - start);
    char *const texts = texts_.data();
    detail::writeAhead(texts_.constData(), start, end, texts_.capacity());
    detail::writeAhead(chats_.constData(), count_ * 4, (count_ + k) * 4, chats_.capacity() * 4, kColumnStep);
    detail::writeAhead(textEnds_.constData(), count_ * 4, (count_ + k) * 4, textEnds_.capacity() * 4,
                       kColumnStep);
    detail::writeAhead(stamps_.constData(), count_ * 8, (count_ + k) * 8, stamps_.capacity() * 8,
                       kColumnStep);
    detail::writeAhead(flags_.constData(), count_, count_ + k, flags_.capacity(), kColumnStep);
    quint32 *chats = chats_.data() + count_;
    char *flags = flags_.data() + count_;
    double *stamps = stamps_.data() + count_;
    quint32 *ends = textEnds_.data() + count_;
    qsizetype at = start;
    for (qsizetype i = 0; i < k; ++i) {
        const ByteRecord &record = records[i];
        std::memcpy(texts + at, record.windows1252.data(), size_t(record.windows1252.size()));
        at += record.windows1252.size();
        chats[i] = record.chat;
        flags[i] = char(record.flags & kRecordFlags);
        stamps[i] = record.timeStamp;
        ends[i] = quint32(at);
    }
    count_ += k;
    textsUsed_ = at;
    return k;
}

bool ChatLogRecords::Segment::append(quint32 chat, double timeStamp, quint8 flags, QStringView text)
{
    const qsizetype start = textsUsed_;
    // Room for the narrow form; the UTF-8 one may need more, should the text need it.
    if (!prepare(start, text.size()))
        return false;
    flags &= kRecordFlags;
    const qsizetype narrowed =
        detail::narrowWindows1252(text.utf16(), text.size(), textRoom(start, text.size()));
    textsUsed_ = start + text.size();
    if (narrowed < text.size()) {
        const quint32 units = quint32(text.size());
        const qsizetype bytes = qsizetype(sizeof units) + detail::utf8SizeOf(text.utf16(), text.size());
        if (start + bytes > kMaxSegmentText) {
            textsUsed_ = start;
            return false;
        }
        char *to = textRoom(start, bytes);
        textsUsed_ = start + bytes;
        std::memcpy(to, &units, sizeof units);
        detail::writeUtf8(text.utf16(), text.size(), to + sizeof units);
        flags |= WideText;
    }
    addColumns(chat, timeStamp, flags);
    return true;
}

void ChatLogRecords::Segment::removeLast()
{
    --count_;
    textsUsed_ = count_ == 0 ? 0 : qsizetype(textEnds_[count_ - 1]);
}

void ChatLogRecords::Segment::reserve(qsizetype records, qsizetype textBytes)
{
    chats_.reserve(records);
    flags_.reserve(records);
    stamps_.reserve(records);
    textEnds_.reserve(records);
    texts_.reserve(std::min(textBytes, kMaxSegmentText));
}

void ChatLogRecords::Segment::squeeze()
{
    // A byte array shrinks where it stands. A list would be copied into a smaller block, taking its
    // size twice meanwhile, so the lists keep their room: room never written takes no memory, only
    // addresses.
    chats_.resize(count_);
    stamps_.resize(count_);
    textEnds_.resize(count_);
    flags_.resize(count_);
    flags_.squeeze();
    texts_.resize(textsUsed_);
    texts_.squeeze();
}

ChatLine ChatLogRecords::const_iterator::operator*() const
{
    return log_->record(log_->segments_[segment_], index_);
}

ChatLine ChatLogRecords::record(const Segment &segment, qsizetype i) const
{
    const quint8 flags = segment.flags(i);
    return ChatLine{segment.timeStamp(i), names_[segment.chat(i)], (flags & Channel) != 0,
                    (flags & Tell) != 0,  segment.text(i),         (flags & GameFeedback) != 0,
                    (flags & System) != 0};
}

ChatLine ChatLogRecords::at(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < size_);
    const qsizetype s = std::upper_bound(starts_.cbegin(), starts_.cend(), i) - starts_.cbegin() - 1;
    return record(segments_[s], i - starts_[s]);
}

ChatLine ChatLogRecords::operator[](qsizetype i) const
{
    return at(i);
}

ChatLine ChatLogRecords::first() const
{
    return at(0);
}

ChatLine ChatLogRecords::last() const
{
    return at(size_ - 1);
}

quint32 ChatLogRecords::addChatName(const QString &name)
{
    // One lookup a name: the slot of a new one comes back 0, since slots hold the index plus one.
    quint32 &slot = nameIndex_[name];
    if (slot == 0) {
        names_.append(name);
        slot = quint32(names_.size());
    }
    return slot - 1;
}

qsizetype ChatLogRecords::chatIndex(const QString &name) const
{
    const auto found = nameIndex_.constFind(name);
    return found != nameIndex_.cend() ? qsizetype(*found) - 1 : -1;
}

void ChatLogRecords::reserveNames(qsizetype names)
{
    names_.reserve(names);
    nameIndex_.reserve(names);
}

template <typename Text>
void ChatLogRecords::appendTo(quint32 chat, double timeStamp, quint8 flags, Text text)
{
    Q_ASSERT(chat < quint32(names_.size()));
    auto add = [&](Segment &segment) {
        if constexpr (std::is_same_v<Text, QStringView>)
            return segment.append(chat, timeStamp, flags, text);
        else
            return segment.appendWindows1252(chat, timeStamp, flags, text);
    };
    if (!segments_.isEmpty() && add(segments_.last())) {
        ++size_;
        return;
    }
    Segment fresh;
    fresh.reserve(std::exchange(reservedRecords_, 0), std::exchange(reservedText_, 0));
    if (!add(fresh))
        throw std::bad_alloc(); // a single text beyond what a segment can index
    segments_.append(std::move(fresh));
    starts_.append(size_);
    ++size_;
}

void ChatLogRecords::appendRecord(quint32 chat, double timeStamp, quint8 flags, QStringView text)
{
    appendTo(chat, timeStamp, flags, text);
}

void ChatLogRecords::appendRecord(quint32 chat, double timeStamp, quint8 flags, QByteArrayView windows1252)
{
    appendTo(chat, timeStamp, flags, windows1252);
}

void ChatLogRecords::appendRecords(const ByteRecord *records, qsizetype n)
{
    while (n > 0) {
        const qsizetype taken = segments_.isEmpty() ? 0 : segments_.last().appendBatch(records, n);
        if (taken > 0) {
            size_ += taken;
        } else {
            // A first segment, or the last is full: the next record starts one.
            appendRecord(records->chat, records->timeStamp, records->flags, records->windows1252);
        }
        const qsizetype done = std::max<qsizetype>(taken, 1);
        records += done;
        n -= done;
    }
}

void ChatLogRecords::append(const ChatLine &record)
{
    const quint8 flags = (record.IsChannel ? Channel : 0) | (record.IsTell ? Tell : 0) |
                         (record.IsGameFeedback ? GameFeedback : 0) | (record.IsSystem ? System : 0);
    appendRecord(addChatName(record.ChatName), record.TimeStamp, flags, record.Text);
}

void ChatLogRecords::append(ChatLogRecords &&other)
{
    if (&other == this) {
        ChatLogRecords copy = other;
        append(std::move(copy));
        return;
    }
    if (other.isEmpty())
        return;
    if (isEmpty()) {
        *this = std::move(other);
        other.clear();
        return;
    }
    QList<quint32> renumbered;
    renumbered.reserve(other.names_.size());
    bool same = true;
    for (const QString &name : std::as_const(other.names_)) {
        renumbered.append(addChatName(name));
        same = same && renumbered.last() == quint32(renumbered.size() - 1);
    }
    for (Segment &segment : other.segments_) {
        if (!same) {
            quint32 *chats = segment.chats_.data();
            for (qsizetype i = 0; i < segment.count_; ++i)
                chats[i] = renumbered[chats[i]];
        }
        starts_.append(size_);
        size_ += segment.size();
        segments_.append(std::move(segment));
    }
    other.clear();
}

void ChatLogRecords::clear()
{
    *this = ChatLogRecords();
}

void ChatLogRecords::removeLast()
{
    Q_ASSERT(size_ > 0);
    Segment &segment = segments_.last();
    segment.removeLast();
    --size_;
    if (segment.size() == 0) {
        segments_.removeLast();
        starts_.removeLast();
    }
}

bool LoadedChatLog::namesAreTheTable() const
{
    const QStringList &table = ChatLog.chatNames();
    return ChatNames.constData() == table.constData() && ChatNames.size() == table.size();
}

void LoadedChatLog::append(LoadedChatLog &&other)
{
    if (namesAreTheTable() && other.namesAreTheTable()) {
        // Let go of the shared names first, so that the table grows where it stands.
        ChatNames = QStringList();
        other.ChatNames = QStringList();
        ChatLog.append(std::move(other.ChatLog));
        ChatNames = ChatLog.chatNames();
        return;
    }
    ChatLog.append(std::move(other.ChatLog));
    if (ChatNames.isEmpty()) {
        ChatNames = std::move(other.ChatNames);
        knownNames_ = std::move(other.knownNames_);
        knownFor_ = std::exchange(other.knownFor_, nullptr);
    } else {
        for (const QString &name : std::as_const(other.ChatNames))
            addChatName(name);
    }
    other.ChatNames.clear();
}

void LoadedChatLog::knowNames()
{
    if (knownFor_ == ChatNames.constData() && knownNames_.size() == ChatNames.size())
        return;
    knownNames_ = QSet<QString>(ChatNames.cbegin(), ChatNames.cend());
    knownFor_ = ChatNames.constData();
}

bool LoadedChatLog::appendRecord(const ChatLine &record)
{
    if (!namesAreTheTable()) {
        ChatLog.append(record);
        return addChatName(record.ChatName);
    }
    const qsizetype before = ChatNames.size();
    ChatNames = QStringList();
    ChatLog.append(record);
    ChatNames = ChatLog.chatNames();
    return ChatNames.size() > before;
}

bool LoadedChatLog::addChatName(const QString &name)
{
    knowNames();
    if (knownNames_.contains(name))
        return false;
    knownNames_.insert(name);
    ChatNames.append(name);
    knownFor_ = ChatNames.constData();
    return true;
}

void LoadedChatLog::removeChatName(const QString &name)
{
    knowNames();
    if (!knownNames_.remove(name))
        return;
    // Nearly always the last name: the one of the record that came last.
    const qsizetype at = ChatNames.lastIndexOf(name);
    ChatNames.removeAt(at);
    knownFor_ = ChatNames.constData();
}

void ChatLogRecords::reserve(qsizetype records, qsizetype textBytes)
{
    if (!segments_.isEmpty()) {
        segments_.last().reserve(segments_.last().size() + records, segments_.last().textsUsed_ + textBytes);
        return;
    }
    reservedRecords_ = records;
    reservedText_ = textBytes;
}

void ChatLogRecords::squeeze()
{
    for (Segment &segment : segments_)
        segment.squeeze();
}

} // namespace modMain
