#include "ChatListFilter.h"

#include <QAction>
#include <QHelpEvent>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolTip>

#include <algorithm>

#include "ChatFilterBox.h"
#include "ChatListBox.h"
#include "LogFollower.h"
#include "ReaderState.h"

ChatListFilter::ChatListFilter(const Controls &controls, const ReaderState &state, QWidget *window)
    : QObject(window), controls_(controls), state_(state)
{
    controls_.list->viewport()->installEventFilter(this);
    auto *focusFilter = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), window);
    connect(focusFilter, &QShortcut::activated, this, [this] {
        controls_.filter->setFocus(Qt::ShortcutFocusReason);
        controls_.filter->selectAll();
    });
    connect(controls_.list, &ChatListBox::rowsAdded, controls_.filter, &ChatFilterBox::filterRows);
    connect(controls_.list, &ChatListBox::rowsFilled, this, &ChatListFilter::rowsFilled);
    for (qsizetype i = 0; i < controls_.orders.size(); ++i) {
        connect(controls_.orders[i], &QAction::triggered, this,
                [this, i] { setOrder(modMain::ChatOrder(i)); });
    }
}

void ChatListFilter::setOrder(modMain::ChatOrder order)
{
    controls_.orders.at(qsizetype(order))->setChecked(true);
    if (order == order_)
        return;
    order_ = order;
    if (listing_)
        return; // the rows filling are put in this order once they are in
    const QList<QListWidgetItem *> selected = controls_.list->selectedItems();
    const QString chosen = selected.isEmpty() ? QString() : selected.first()->text();
    listAll();
    if (!chosen.isNull())
        choose(chosen);
}

void ChatListFilter::showLog(std::shared_ptr<const modMain::LoadedChatLog> log,
                             QList<modMain::ChatSummary> summaries, QStringList rows,
                             modMain::ChatOrder rowsOrder)
{
    listing_ = std::move(log);
    listingSummaries_ = std::move(summaries);
    listingOrder_ = rowsOrder;
    if (rowsOrder != order_) {
        listingOrder_ = order_;
        rows = modMain::orderedChatNames(*listing_, listingSummaries_, order_);
    }
    controls_.list->fillRows(std::move(rows));
}

void ChatListFilter::rowsFilled()
{
    if (!listing_)
        return;
    if (listingOrder_ != order_) { // Sort Chats was chosen while the rows filled
        listingOrder_ = order_;
        controls_.list->fillRows(modMain::orderedChatNames(*listing_, listingSummaries_, order_));
        return;
    }
    summaries_ = std::move(listingSummaries_);
    listingSummaries_.clear();
    listing_.reset();
    emit listed();
}

void ChatListFilter::listAll()
{
    controls_.list->setRows(modMain::orderedChatNames(*state_.log, summaries_, order_));
    controls_.filter->filterRows(0, controls_.list->count() - 1);
}

bool ChatListFilter::choose(const QString &name)
{
    const int row = rowOf(name);
    if (row >= 0)
        controls_.list->chooseRow(row);
    return row >= 0;
}

int ChatListFilter::rowOf(const QString &name) const
{
    // From the top: in the order of the last line, the chats that change are the recent ones.
    for (int row = 0; row < controls_.list->count(); ++row) {
        if (controls_.list->item(row)->text() == name)
            return row;
    }
    return -1;
}

void ChatListFilter::showFollowed(const modMain::FollowedNames &names, qsizetype firstNew)
{
    if (firstNew == 0) { // rare: the import's last record went; everything is counted again
        summaries_.clear();
        modMain::summarizeChats(summaries_, state_.log->ChatLog);
        const QList<QListWidgetItem *> selected = controls_.list->selectedItems();
        const QString chosen = selected.isEmpty() ? QString() : selected.first()->text();
        listAll();
        if (!chosen.isNull())
            choose(chosen);
        return;
    }
    QList<qsizetype> touched;
    modMain::summarizeChats(summaries_, state_.log->ChatLog, firstNew, &touched);
    ChatListBox *list = controls_.list;
    switch (order_) {
    case modMain::ChatOrder::Appearance: {
        list->changeLastRows(names.dropped, names.added);
        const int added = int(names.added.size());
        controls_.filter->filterRows(list->count() - added, list->count() - 1);
        break;
    }
    case modMain::ChatOrder::Name:
        for (const QString &name : names.added)
            insertByName(name);
        break;
    case modMain::ChatOrder::LastLine:
        moveToTopByLastLine(touched, names.added);
        break;
    }
}

void ChatListFilter::insertByName(const QString &name)
{
    ChatListBox *list = controls_.list;
    int low = 0, high = list->count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (modMain::nameBefore(list->item(middle)->text(), name))
            low = middle + 1;
        else
            high = middle;
    }
    {
        const QSignalBlocker blocker(list);
        list->insertItem(low, name);
    }
    controls_.filter->filterRows(low, low);
}

void ChatListFilter::moveToTopByLastLine(QList<qsizetype> chats, const QStringList &added)
{
    // The chats that had lines, in the order of their last one: each goes to the top in turn, so that the
    // latest ends up first.
    std::sort(chats.begin(), chats.end(), [this](qsizetype a, qsizetype b) {
        return summaries_[a].lastRecord < summaries_[b].lastRecord;
    });
    const modMain::ChatLogRecords &records = state_.log->ChatLog;
    ChatListBox *list = controls_.list;
    const QSignalBlocker blocker(list);
    for (qsizetype chat : std::as_const(chats)) {
        const QString &name = records.chatNames()[chat];
        const int row = added.contains(name) ? -1 : rowOf(name);
        QListWidgetItem *item = row >= 0 ? list->takeItem(row) : new QListWidgetItem(name);
        const bool selected = row >= 0 && item->isSelected();
        list->insertItem(0, item);
        if (selected)
            list->setCurrentItem(item);
    }
    controls_.filter->filterRows(0, int(chats.size()) - 1);
}

bool ChatListFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || watched != controls_.list->viewport())
        return QObject::eventFilter(watched, event);
    auto *help = static_cast<QHelpEvent *>(event);
    const QListWidgetItem *item = controls_.list->itemAt(help->pos());
    const qsizetype chat = item ? state_.log->ChatLog.chatIndex(item->text()) : -1;
    if (chat < 0 || chat >= summaries_.size()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(help->globalPos(), modMain::describeChat(summaries_[chat]), controls_.list->viewport(),
                       controls_.list->visualItemRect(item));
    return true;
}
