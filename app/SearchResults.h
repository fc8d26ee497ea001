#pragma once

#include <QAbstractTableModel>
#include <QCache>
#include <QList>
#include <QStyledItemDelegate>

#include <memory>
#include <optional>
#include <vector>

#include "TextMatcher.h"
#include "modMain.h"

// Record numbers in blocks of a fixed size: growing by millions never moves those kept already, so
// adding to them costs the thread that holds them no more than what is added.
class RecordNumbers {
public:
    qsizetype size() const { return size_; }
    qsizetype operator[](qsizetype i) const
    {
        return blocks_[size_t(i >> kBlockBits)][size_t(i & kBlockMask)];
    }
    void append(const QList<qsizetype> &records);
    // Keeps the first count.
    void truncate(qsizetype count);
    // The index of the first number not less than record (they ascend), or size().
    qsizetype lowerBound(qsizetype record) const;

private:
    static constexpr int kBlockBits = 16;
    static constexpr qsizetype kBlockMask = (qsizetype(1) << kBlockBits) - 1;
    std::vector<std::vector<qsizetype>> blocks_;
    qsizetype size_ = 0;
};

// The rows of Search All Chats: one per matching line of a loaded log, in file order, each kept as its
// record number alone; what a row shows is read from the log when the view asks for it. The rows found
// are shown in steps, at the view's request (showMore), so that a search that matches millions of lines
// costs the view only the rows it has been scrolled through: a tree view lays out every row it is given.
class SearchResults : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, ChatColumn, LineColumn, ColumnCount };
    // The match in the Line column's text: a QPoint of its start and length.
    static constexpr int kMatchRole = Qt::UserRole + 1;

    explicit SearchResults(QObject *parent);

    // Drops every row and starts the rows of a search of log for pattern (as a TextMatcher reads it).
    // The log is not kept alive by the rows: once it has gone, they show nothing.
    void start(const std::shared_ptr<const modMain::LoadedChatLog> &log, const QString &pattern, bool regex,
               bool ignoreCase);
    void clear();
    // Adds the records found next (ascending, after those found before). They show at once while
    // fewer than a screenful or two are shown.
    void append(const QList<qsizetype> &records);
    // Drops the rows of the records from record on, which the log no longer holds as they were.
    void dropFrom(qsizetype record);
    // Shows up to count more of the rows found; showUpTo shows rows up to row. False when there are no
    // more rows, or no such row.
    bool showMore(int count);
    bool showUpTo(int row);

    // The records found, shown or not.
    qsizetype found() const { return records_.size(); }
    qsizetype record(int row) const { return records_[row]; }
    // The first match in the text of row's record (0-based, in UTF-16 units); length 0 for an empty
    // match or when the log has gone.
    struct Span {
        qsizetype start = 0;
        qsizetype length = 0;
    };
    Span matchOf(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // What one row shows, made when it is first asked for.
    struct Row {
        QString time;
        QString chat;
        QString line;    // the text, cut around the match when long
        Span shownMatch; // in line
        Span match;      // in the record's text
    };
    const Row *row(int row) const;

    std::weak_ptr<const modMain::LoadedChatLog> log_;
    // Matches the texts of the rows on view again, for where the match lies.
    mutable std::optional<modMain::TextMatcher> matcher_;
    RecordNumbers records_;
    int shown_ = 0;
    mutable QCache<qsizetype, Row> rows_;
};

// Paints the Line column with the match in bold; the other columns as usual.
class SearchResultDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
