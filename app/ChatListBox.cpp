#include "ChatListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>

#include <algorithm>

namespace {

// Rows added in one turn of the event loop, about 10 ms of work here; the rows of the list before are
// taken out several times faster.
constexpr qsizetype kSliceRows = 20000;
constexpr int kRemovedPerAdded = 4;

} // namespace

ChatListBox::ChatListBox(QWidget *parent) : QListWidget(parent)
{
    setUniformItemSizes(true);
    // Laid out a slice of rows per turn of the event loop too: a list of up to a slice at once, as before.
    setLayoutMode(QListView::Batched);
    setBatchSize(int(kSliceRows));
    nextSlice_.setSingleShot(true);
    nextSlice_.setInterval(0);
    connect(&nextSlice_, &QTimer::timeout, this, &ChatListBox::fillSlice);
}

void ChatListBox::fillRows(QStringList names)
{
    pending_ = std::move(names);
    added_ = 0;
    filling_ = true;
    sliced_ = false;
    nextSlice_.stop();
    fillSlice();
}

void ChatListBox::fillSlice()
{
    int first = -1;
    {
        const QSignalBlocker blocker(this);
        // The rows there before go first, from the top, where taking them out moves no others.
        const qsizetype before = std::min(kSliceRows * kRemovedPerAdded, qsizetype(count()) - added_);
        if (before == count())
            clear();
        else if (before > 0)
            model()->removeRows(0, int(before));
        const qsizetype rows = std::min(kSliceRows, pending_.size() - added_);
        if (rows > 0 && count() == added_) {
            first = count();
            addItems(pending_.mid(added_, rows));
            added_ += rows;
        }
    }
    if (first >= 0)
        emit rowsAdded(first, count() - 1);
    // What waits for the rows of a long list comes in a turn of its own, after the last slice's.
    if (added_ < pending_.size() || count() != added_ || (sliced_ && first >= 0)) {
        sliced_ = true;
        nextSlice_.start();
        return;
    }
    filling_ = false;
    pending_ = QStringList();
    added_ = 0;
    emit rowsFilled();
}

void ChatListBox::setRows(const QStringList &names)
{
    const QSignalBlocker blocker(this);
    clear();
    addItems(names);
}

void ChatListBox::chooseRow(int row)
{
    {
        const QSignalBlocker blocker(this);
        setCurrentRow(row);
    }
    scrollToItem(item(row));
}

void ChatListBox::changeLastRows(const QString &dropped, const QStringList &added)
{
    const QSignalBlocker blocker(this);
    for (int row = count() - 1; !dropped.isNull() && row >= 0; --row) {
        if (item(row)->text() == dropped) {
            delete takeItem(row);
            break;
        }
    }
    addItems(added);
}

int ChatListBox::selectedRow() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void ChatListBox::mousePressEvent(QMouseEvent *event)
{
    if (filling_) // the rows are of a log that is not in yet
        return;
    pressedOnRow_ = event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
    QListWidget::mousePressEvent(event);
}

void ChatListBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (filling_)
        return;
    QListWidget::mouseReleaseEvent(event);
    // Once per press and release, on the row selected by then: a drag from row to row ends on one.
    if (event->button() != Qt::LeftButton || !pressedOnRow_)
        return;
    pressedOnRow_ = false;
    if (selectedRow() >= 0)
        emit rowClicked();
}

void ChatListBox::keyPressEvent(QKeyEvent *event)
{
    // In a single-selection list the arrows, Home, End, the page keys and typing a name move the
    // selection with the current row; Space selects the row that focus alone made current. A move with
    // Ctrl held leaves the selection, and the chat on view, where they are.
    if (filling_) {
        event->ignore();
        return;
    }
    const int selectedBefore = selectedRow();
    QListWidget::keyPressEvent(event);
    const int selected = selectedRow();
    if (selected >= 0 && selected != selectedBefore)
        emit rowClicked();
}
