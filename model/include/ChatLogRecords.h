#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstring>
#include <iterator>

namespace modMain {

struct ChatLine;

// The records of a chat log kept as columns: for each record its chat (an index into the log's table of
// chat names), its flags, its timestamp and its text. A text whose characters windows-1252 holds takes
// one byte a character; any other is kept as UTF-8 after its length in UTF-16 units. A log of many
// records costs little more than the bytes of its texts.
//
// Reading a record gives a ChatLine by value, built on the spot: its ChatName shares the table's string,
// its Text is decoded afresh. A copy of the log shares the columns until either side changes them.
class ChatLogRecords {
public:
    enum Flag : quint8 {
        Channel = 0x01,
        Tell = 0x02,
        GameFeedback = 0x04,
        System = 0x08,
        WideText = 0x10, // the text is kept as UTF-8, after its length
    };

    // A record from its parts, its text in windows-1252, for appendRecords.
    struct ByteRecord {
        QByteArrayView windows1252;
        double timeStamp = 0.0;
        quint32 chat = 0;
        quint8 flags = 0;
    };

    // A run of records with columns of their own. The loader fills one per part of a file; a log is the
    // segments in file order.
    class Segment {
    public:
        qsizetype size() const { return count_; }
        quint32 chat(qsizetype i) const { return chats_[i]; }
        quint8 flags(qsizetype i) const { return quint8(flags_[i]); }
        double timeStamp(qsizetype i) const { return stamps_[i]; }
        // The length of record i's text in characters (UTF-16 units).
        qsizetype textSize(qsizetype i) const
        {
            if (!(flags(i) & WideText))
                return textEnd(i) - textStart(i);
            quint32 units = 0;
            std::memcpy(&units, texts_.constData() + textStart(i), sizeof units);
            return qsizetype(units);
        }
        // Writes record i's text to out (room for textSize(i) characters); returns the end.
        char16_t *writeText(qsizetype i, char16_t *out) const;
        QString text(qsizetype i) const;
        // The bytes the texts are kept in, one after another: record i's run from textStart(i) to
        // textEnd(i), in windows-1252, or when its flags have WideText as UTF-8 after its length in UTF-16
        // units (four bytes).
        QByteArrayView textBytes() const { return QByteArrayView(texts_.constData(), textsUsed_); }
        qsizetype textStart(qsizetype i) const { return i == 0 ? 0 : qsizetype(textEnds_[i - 1]); }
        qsizetype textEnd(qsizetype i) const { return qsizetype(textEnds_[i]); }

    private:
        friend class ChatLogRecords;
        bool append(quint32 chat, double timeStamp, quint8 flags, QStringView text);
        bool appendWindows1252(quint32 chat, double timeStamp, quint8 flags, QByteArrayView text);
        qsizetype appendBatch(const ByteRecord *records, qsizetype n);
        // The steps of every append, made part of it where they are defined: calls would cost more.
        inline bool prepare(qsizetype start, qsizetype size);
        inline void addColumns(quint32 chat, double timeStamp, quint8 flags);
        inline char *textRoom(qsizetype start, qsizetype size);
        void growColumns(qsizetype records);
        void removeLast();
        void reserve(qsizetype records, qsizetype textBytes);
        void squeeze();

        // The columns and the texts grow a batch at a time: beyond the records they hold, and beyond the
        // bytes of their texts, is room.
        qsizetype count_ = 0;
        qsizetype textsUsed_ = 0;
        QList<quint32> chats_;
        QByteArray flags_;
        QList<double> stamps_;
        QList<quint32> textEnds_; // where each record's text ends in texts_; it starts where the last ended
        QByteArray texts_;
    };

    // The names of the standard library's iterator protocol, which range-for and the containers' range
    // constructors look for.
    // NOLINTBEGIN(readability-identifier-naming)
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = ChatLine;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = ChatLine;

        const_iterator() = default;
        ChatLine operator*() const;
        const_iterator &operator++()
        {
            if (++index_ == log_->segments_[segment_].size()) {
                ++segment_;
                index_ = 0;
            }
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const const_iterator &a, const const_iterator &b)
        {
            return a.segment_ == b.segment_ && a.index_ == b.index_;
        }
        friend bool operator!=(const const_iterator &a, const const_iterator &b) { return !(a == b); }

    private:
        friend class ChatLogRecords;
        const_iterator(const ChatLogRecords *log, qsizetype segment) : log_(log), segment_(segment) {}
        const ChatLogRecords *log_ = nullptr;
        qsizetype segment_ = 0;
        qsizetype index_ = 0;
    };
    using iterator = const_iterator;
    // NOLINTEND(readability-identifier-naming)

    qsizetype size() const { return size_; }
    qsizetype count() const { return size_; }
    bool isEmpty() const { return size_ == 0; }

    // Record i (0 <= i < size()).
    ChatLine at(qsizetype i) const;
    ChatLine operator[](qsizetype i) const;
    ChatLine first() const;
    ChatLine last() const;

    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, segments_.size()); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    // Adds a record at the end; its chat name joins the table when it is new.
    void append(const ChatLine &record);
    // Adds the records of other after these, in their order: its chat names that are new here join the
    // table in its order, and its records' chats are renumbered into this table. Its columns move
    // over without copying their texts.
    void append(ChatLogRecords &&other);
    // Drops the last record; there must be one. Its chat name stays in the table.
    void removeLast();
    void clear();

    // The chat names that records have had, in order of first appearance (compared exactly); a record's
    // chat indexes it.
    const QStringList &chatNames() const { return names_; }
    // The index of name in the table, added at the end when it is new.
    quint32 addChatName(const QString &name);
    // The index of name in the table; -1 when no record has had it.
    qsizetype chatIndex(const QString &name) const;
    // Room for this many chat names in all, when about known (logs joined one after another), so that
    // the table does not grow step by step.
    void reserveNames(qsizetype names);

    // Adds a record from its parts, for readers that parse lines themselves; chat must index the table.
    // The WideText flag is ignored: how the text is kept is decided here.
    void appendRecord(quint32 chat, double timeStamp, quint8 flags, QStringView text);
    // The same with the text's bytes in windows-1252, kept as they are.
    void appendRecord(quint32 chat, double timeStamp, quint8 flags, QByteArrayView windows1252);
    // Adds records[0, n) in order, as appendRecord does each: a reader of many lines hands them on in
    // batches, which costs a fraction of a call a record.
    void appendRecords(const ByteRecord *records, qsizetype n);

    // The columns in file order, for readers that want a few fields of many records.
    qsizetype segmentCount() const { return segments_.size(); }
    const Segment &segment(qsizetype i) const { return segments_[i]; }

    // Room for the records that come next, when their number and the bytes of their texts are about
    // known (a part of a file): the columns then grow without being moved, which would take their size
    // twice meanwhile. squeeze() gives back what went unused.
    void reserve(qsizetype records, qsizetype textBytes);
    // Gives back the memory that the texts hold beyond their records.
    void squeeze();

private:
    ChatLine record(const Segment &segment, qsizetype i) const;
    template <typename Text> void appendTo(quint32 chat, double timeStamp, quint8 flags, Text text);

    QList<Segment> segments_;
    QList<qsizetype> starts_; // the index of each segment's first record
    qsizetype size_ = 0;
    QStringList names_;
    QHash<QString, quint32> nameIndex_; // a name's index in names_, plus one
    qsizetype reservedRecords_ = 0;     // for the next segment
    qsizetype reservedText_ = 0;
};

} // namespace modMain
