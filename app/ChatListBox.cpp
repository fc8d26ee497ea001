#include "ChatListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>

ChatListBox::ChatListBox(QWidget *parent) : QListWidget(parent)
{
    setUniformItemSizes(true);
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
    pressedOnRow_ = event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
    QListWidget::mousePressEvent(event);
}

void ChatListBox::mouseReleaseEvent(QMouseEvent *event)
{
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
    const int selectedBefore = selectedRow();
    QListWidget::keyPressEvent(event);
    const int selected = selectedRow();
    if (selected >= 0 && selected != selectedBefore)
        emit rowClicked();
}
