#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

#include "ChatSummary.h"

class ChatFilterBox;
class ChatListBox;
class QAction;
class QWidget;
struct ReaderState;
namespace modMain {
struct FollowedNames;
struct LoadedChatLog;
} // namespace modMain

// What "List of Chats" shows and in what order: the loaded log's chats in the order of Sort Chats, the
// rows that the filter box leaves in sight, and each row's tooltip (its lines and first and last time).
// The summaries behind the tooltips and the orders come with the log from the import and grow with what
// Follow Log reads; a tooltip is put into words only when it is asked for.
class ChatListFilter : public QObject {
    Q_OBJECT
public:
    struct Controls {
        ChatListBox *list = nullptr;
        ChatFilterBox *filter = nullptr;
        // The items of Options > Sort Chats, in the order of modMain::ChatOrder.
        QList<QAction *> orders;
    };

    // Lists state's log. Ctrl+K in window focuses the filter box.
    ChatListFilter(const Controls &controls, const ReaderState &state, QWidget *window);

    modMain::ChatOrder order() const { return order_; }
    // Checks the order's menu item and lists the chats in that order, the selected one staying selected.
    void setOrder(modMain::ChatOrder order);

    // A new log is coming: its chats are listed anew with summaries (as summarizeChats gives them),
    // none selected, under the filter; rows are its names as orderedChatNames gives them in rowsOrder.
    // A long list fills over several turns of the event loop; listed() follows once the rows are all in,
    // for the window to put log in state. A new log while the rows fill replaces them.
    void showLog(std::shared_ptr<const modMain::LoadedChatLog> log, QList<modMain::ChatSummary> summaries,
                 QStringList rows, modMain::ChatOrder rowsOrder);
    // Follow Log changed the log: records from firstNew on are new (0: the summaries are made anew) and
    // names says which chats came or went. The rows follow in the order, where they are.
    void showFollowed(const modMain::FollowedNames &names, qsizetype firstNew);
    // Selects the row of name, scrolled into sight, as no click does; false when it is not listed.
    bool choose(const QString &name);

signals:
    void listed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void listAll();
    void rowsFilled();
    void insertByName(const QString &name);
    void moveToTopByLastLine(QList<qsizetype> chats, const QStringList &added);
    int rowOf(const QString &name) const;

    Controls controls_;
    const ReaderState &state_;
    QList<modMain::ChatSummary> summaries_; // indexed like the log's table of chat names
    modMain::ChatOrder order_ = modMain::ChatOrder::Appearance;
    // The log whose rows are filling, with its summaries and the order of the rows.
    std::shared_ptr<const modMain::LoadedChatLog> listing_;
    QList<modMain::ChatSummary> listingSummaries_;
    modMain::ChatOrder listingOrder_ = modMain::ChatOrder::Appearance;
};
