#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "ChatSearch.h"

class ChatPageView;
class QAction;
class frmFind;
class frmMain;

// Find in the chat on view, for the window's Edit menu: the Find box (made at its first use), the last
// search, which Find Next and Find Previous repeat, and the search itself, through the whole text of the
// chat from the view's cursor, ending in the match selected on its page or in a box saying there is none.
class ChatFinder : public QObject {
    Q_OBJECT
public:
    // Searches window's chat on view (its ChatText, CurrentPage and PageCount), shown in pages. The Find
    // box takes boxActions too (Find Next and Find Previous, so that their keys work in it).
    ChatFinder(frmMain *window, ChatPageView *pages, const QList<QAction *> &boxActions);

    // Shows the Find box, with the view's selection as the text to find when it is within one line.
    void showBox();
    // Repeats the last search in direction; before any search, shows the Find box.
    void findAgain(modMain::SearchDirection direction);

signals:
    // The match is on page (from 1), which is not the one on view as built: the window shows it.
    void pageWanted(int page);

private:
    void find(const QString &text, bool matchCase, modMain::SearchDirection direction);

    frmMain *window_;
    ChatPageView *pages_;
    QList<QAction *> boxActions_;
    frmFind *box_ = nullptr;
    QString lastText_;
    bool lastMatchCase_ = false;
};
