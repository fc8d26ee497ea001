#pragma once

#include <QDockWidget>
#include <QFuture>
#include <QList>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>

#include "modMain.h"

class ChatListBox;
class ChatPageView;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QTreeView;
class SearchResults;
class frmMain;
namespace modMain {
struct FollowRead;
}

// Search All Chats: a dock under the chat view that searches every line of the loaded log, on a worker,
// for a text or a regular expression (the command line's rules), and lists the lines found as they come.
// Activating a row shows its line as a click on its chat in List of Chats would, on its page, with the
// match selected. The search starts when typing pauses, or at once with Enter; Escape stops it.
class SearchDock : public QDockWidget {
    Q_OBJECT
    Q_PROPERTY(bool searching READ isSearching NOTIFY searchingChanged)
public:
    // Searches window's log and shows results in its chat view: pages, and chats, its List of Chats.
    // optionActions are the display options that decide which lines are searched: a change of them
    // searches again. The dock starts hidden, in the window's bottom dock area.
    SearchDock(frmMain *window, ChatPageView *pages, ChatListBox *chats,
               const QList<QAction *> &optionActions);
    // Stops the search under way and waits for its worker.
    ~SearchDock() override;

    // Puts the Edit menu's items (Search All Chats, Next Result, Previous Result) into menu, before
    // the action before.
    void addToMenu(QMenu *menu, QAction *before);

    bool isSearching() const { return searching_; }

public slots:
    // Shows the dock with the text to search for selected.
    void showAndFocus();
    // Searches now for what the field holds; nothing for an empty field.
    void startSearch();
    // Stops the search under way; the rows found so far stay.
    void stopSearch();
    // The window's log has been replaced: the search stops and its rows go.
    void logReplaced();
    // The window read lines while following: a row of a last line that the read dropped goes.
    void recordsFollowed(const modMain::FollowRead &read);
    // Shows the line of a row in the chat view; F4 and Shift+F4 show the next and the previous one.
    void showResult(int row);
    void showNextResult();
    void showPreviousResult();

signals:
    void searchingChanged(bool searching);
    // The line to show is on page (from 1): the window shows that page.
    void pageWanted(int page);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Progress {
        qsizetype matches = 0;
        qsizetype chats = 0;
        qsizetype gaveUpAt = -1;
        bool done = false;
    };
    // A line to show once the window has built its chat's text.
    struct Pending {
        const modMain::LoadedChatLog *log = nullptr;
        qsizetype record = 0;
        QString chat;
        qsizetype start = 0;
        qsizetype length = 0;
    };

    void createControls();
    void receive(quint64 run, const QList<qsizetype> &records, const Progress &progress);
    // Ends the search under way, if any: its results that are still on their way are dropped.
    void endRun();
    void setSearching(bool searching);
    void showCount(const Progress &progress, const QString &lead = {});
    void showProblem(const QString &problem, QLabel *label);
    // Searches again when the display options that decide which lines are searched have changed.
    void followOptions();
    void revealPending();
    void showMoreAtBottom();
    void updateActions();

    frmMain *window_;
    ChatPageView *pages_;
    ChatListBox *chats_;

    QLineEdit *txtSearch = nullptr;
    QCheckBox *chkSearchMatchCase = nullptr;
    QCheckBox *chkSearchRegex = nullptr;
    QLabel *lblSearchError = nullptr;
    QTreeView *lstSearchResults = nullptr;
    QLabel *lblSearchCount = nullptr;
    QAction *mnuEdit_SearchAllChats = nullptr;
    QAction *mnuEdit_NextResult = nullptr;
    QAction *mnuEdit_PreviousResult = nullptr;
    QTimer *typingPause_ = nullptr;
    SearchResults *results_ = nullptr;

    // The search under way: its number (a result of an older one is dropped), its stop flag, and the
    // workers of this and of stopped searches, to wait for at the end.
    quint64 run_ = 0;
    bool searching_ = false;
    std::shared_ptr<std::atomic<bool>> stop_;
    QList<QFuture<void>> workers_;
    // The display options the rows were found with, while there are rows.
    std::optional<modMain::DisplayOptions> searchedWith_;
    Progress progress_;
    std::optional<Pending> pending_;
};
