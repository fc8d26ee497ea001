#include "SearchResults.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>
#include <limits>

#include "DateTime.h"

namespace {

// Rows shown as soon as they are found, and how many more each request of the view shows.
constexpr int kShownAtOnce = 2000;
// What the Line column shows of a long line: this many characters, from a little before the match.
constexpr qsizetype kLineChars = 300;
constexpr qsizetype kBeforeMatch = 80;
// Rows whose text is kept made, about the rows of a screen or two.
constexpr int kRowsKept = 256;

const QString kEllipsis = QStringLiteral("\u2026");

} // namespace

void RecordNumbers::append(const QList<qsizetype> &records)
{
    for (const qsizetype record : records) {
        if ((size_ & kBlockMask) == 0) {
            blocks_.emplace_back();
            blocks_.back().reserve(size_t(kBlockMask + 1));
        }
        blocks_.back().push_back(record);
        ++size_;
    }
}

void RecordNumbers::truncate(qsizetype count)
{
    if (count >= size_)
        return;
    blocks_.resize(size_t((count + kBlockMask) >> kBlockBits));
    if (!blocks_.empty())
        blocks_.back().resize(size_t(count - (qsizetype(blocks_.size() - 1) << kBlockBits)));
    size_ = count;
}

qsizetype RecordNumbers::lowerBound(qsizetype record) const
{
    qsizetype low = 0, high = size_;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if ((*this)[middle] < record)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

SearchResults::SearchResults(QObject *parent) : QAbstractTableModel(parent), rows_(kRowsKept) {}

void SearchResults::start(const std::shared_ptr<const modMain::LoadedChatLog> &log, const QString &pattern,
                          bool regex, bool ignoreCase)
{
    clear();
    log_ = log;
    matcher_.emplace(pattern, regex, ignoreCase);
}

void SearchResults::clear()
{
    beginResetModel();
    records_ = {};
    shown_ = 0;
    rows_.clear();
    log_.reset();
    endResetModel();
}

void SearchResults::append(const QList<qsizetype> &records)
{
    records_.append(records);
    if (shown_ < kShownAtOnce)
        showMore(kShownAtOnce - shown_);
}

void SearchResults::dropFrom(qsizetype record)
{
    const qsizetype row = records_.lowerBound(record);
    if (row == records_.size())
        return;
    const bool shownRows = row < shown_;
    if (shownRows)
        beginRemoveRows({}, int(row), shown_ - 1);
    records_.truncate(row);
    shown_ = int(std::min<qsizetype>(shown_, row));
    rows_.clear();
    if (shownRows)
        endRemoveRows();
}

bool SearchResults::showMore(int count)
{
    const qsizetype limit = std::min<qsizetype>(records_.size(), std::numeric_limits<int>::max());
    const int to = int(std::min<qsizetype>(limit, qsizetype(shown_) + count));
    if (to <= shown_)
        return false;
    beginInsertRows({}, shown_, to - 1);
    shown_ = to;
    endInsertRows();
    return true;
}

bool SearchResults::showUpTo(int row)
{
    if (row < 0 || row >= records_.size())
        return false;
    if (row >= shown_)
        showMore(row + 1 - shown_);
    return true;
}

SearchResults::Span SearchResults::matchOf(int row) const
{
    const Row *shown = this->row(row);
    return shown ? shown->match : Span();
}

const SearchResults::Row *SearchResults::row(int row) const
{
    if (row < 0 || row >= records_.size())
        return nullptr;
    const qsizetype record = records_[row];
    if (const Row *kept = rows_.object(record))
        return kept;
    const std::shared_ptr<const modMain::LoadedChatLog> log = log_.lock();
    if (!log || !matcher_ || record >= log->ChatLog.size())
        return nullptr;
    const modMain::ChatLine line = log->ChatLog.at(record);
    auto *made = new Row;
    if (line.TimeStamp != 0.0)
        made->time = modMain::formatTimestamp(line.TimeStamp);
    made->chat = line.ChatName;
    qsizetype start = 0, length = 0;
    if (matcher_->find(line.Text, &start, &length) != modMain::TextMatcher::Result::Match)
        start = length = 0; // the row's line is shown all the same
    made->match = {start, length};
    // The space after the timestamp is left out; a long line is shown around its match.
    const QString &text = line.Text;
    qsizetype lead = 0;
    while (lead < text.size() && text[lead].isSpace())
        ++lead;
    const qsizetype from = text.size() - lead > kLineChars
                               ? std::clamp(start - kBeforeMatch, lead, text.size() - kLineChars)
                               : lead;
    const qsizetype shownChars = std::min(kLineChars, text.size() - from);
    const QString before = from > lead ? kEllipsis : QString();
    const QString after = from + shownChars < text.size() ? kEllipsis : QString();
    made->line = before + text.mid(from, shownChars) + after;
    const qsizetype matchFrom = std::max(start, from), matchEnd = std::min(start + length, from + shownChars);
    made->shownMatch = {before.size() + matchFrom - from, std::max<qsizetype>(0, matchEnd - matchFrom)};
    rows_.insert(record, made);
    return made;
}

int SearchResults::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shown_;
}

int SearchResults::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SearchResults::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != kMatchRole))
        return {};
    const Row *shown = row(index.row());
    if (!shown)
        return {};
    switch (index.column()) {
    case TimeColumn:
        return role == Qt::DisplayRole ? QVariant(shown->time) : QVariant();
    case ChatColumn:
        return role == Qt::DisplayRole ? QVariant(shown->chat) : QVariant();
    case LineColumn:
        if (role == kMatchRole)
            return QPoint(int(shown->shownMatch.start), int(shown->shownMatch.length));
        return shown->line;
    default:
        return {};
    }
}

QVariant SearchResults::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TimeColumn:
        return QStringLiteral("Time");
    case ChatColumn:
        return QStringLiteral("Chat");
    case LineColumn:
        return QStringLiteral("Line");
    default:
        return {};
    }
}

Qt::ItemFlags SearchResults::flags(const QModelIndex &index) const
{
    // No row has children: the tree view then need not ask.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void SearchResultDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const QVariant match = index.data(SearchResults::kMatchRole);
    if (!match.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget *view = item.widget;
    QStyle *style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, view); // the background and focus
    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    area.adjust(margin, 0, -margin, 0);

    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    const QPalette::ColorRole role =
        item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
    const QPoint span = match.toPoint();
    const int start = std::clamp(span.x(), 0, int(text.size()));
    const int end = std::clamp(span.x() + span.y(), start, int(text.size()));
    QFont bold = item.font;
    bold.setBold(true);

    painter->save();
    painter->setClipRect(area);
    painter->setPen(item.palette.color(group, role));
    int x = area.left();
    const auto drawPart = [&](const QString &part, const QFont &font) {
        if (part.isEmpty())
            return;
        painter->setFont(font);
        painter->drawText(QRect(x, area.top(), area.right() - x + 1, area.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, part);
        x += QFontMetrics(font).horizontalAdvance(part);
    };
    drawPart(text.left(start), item.font);
    drawPart(text.mid(start, end - start), bold);
    drawPart(text.mid(end), item.font);
    painter->restore();
}
