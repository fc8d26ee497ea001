#include "ChatFilterBox.h"

#include <QKeyEvent>
#include <QListWidget>

ChatFilterBox::ChatFilterBox(QListWidget *list, QWidget *parent, bool deselectHidden)
    : QLineEdit(parent), list_(list), deselectHidden_(deselectHidden)
{
    setObjectName(QStringLiteral("txtChatFilter"));
    setPlaceholderText(QStringLiteral("Filter chats"));
    setAccessibleName(QStringLiteral("Filter chats"));
    setClearButtonEnabled(true);
    connect(this, &QLineEdit::textChanged, this, &ChatFilterBox::filterAll);
}

void ChatFilterBox::filterAll()
{
    if (text().isEmpty() && !anyHidden_)
        return;
    filterRows(0, list_->count() - 1);
    anyHidden_ = !text().isEmpty();
}

void ChatFilterBox::filterRows(int first, int last)
{
    const QString wanted = text();
    if (wanted.isEmpty() && !anyHidden_)
        return;
    for (int row = first; row <= last; ++row) {
        QListWidgetItem *item = list_->item(row);
        const bool hide = !item->text().contains(wanted, Qt::CaseInsensitive);
        // Only changes are made: each one costs the view more than the look at a row.
        if (list_->isRowHidden(row) != hide)
            list_->setRowHidden(row, hide);
        if (hide && deselectHidden_ && item->isSelected())
            item->setSelected(false);
    }
    anyHidden_ = anyHidden_ || !wanted.isEmpty();
}

void ChatFilterBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !text().isEmpty()) {
        clear();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
