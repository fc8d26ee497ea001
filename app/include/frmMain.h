#pragma once

#include <QFutureWatcher>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>

#include "ChatSearch.h"
#include "FileListBox.h"
#include "LogFollower.h"
#include "ReaderState.h"

class ChatListBox;
class CommonDialog;
class frmFind;
class QAction;
class QMimeData;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QThreadPool;
class QTimer;
class WorkProgress;

// The reader's main window: choose a log folder and file, import it, pick chats, page through their
// text, copy or save it. Controls carry their documented object names; handlers are public slots.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    const ReaderState &state() const { return state_; }

    // Layout bookkeeping, in twips.
    int LastHeight = 0;
    int LastWidth = 0;

    // The chat view: the chats on view, their whole text and the page shown (from 1).
    QStringList SelectedChats;
    QString ChatText;
    int CurrentPage = 0;
    int PageCount = 0;

    // Points the hidden file list at folder and refills the file combo, choosing the first log. False
    // with the error when the folder cannot be listed; the combo then keeps what it had.
    bool RefreshFileList(const QString &folder, FileListBox::Error *error);

    // Imports the log at path (as the folder box and the combo name it) as "Import File" does: on success
    // the log replaces the loaded one, the title names it and it heads Recent Logs; a failure is shown
    // in the same message boxes and changes nothing. The log is read on a worker thread: this returns at
    // once, and the window swaps the log in when it is read (idle() follows). While an import runs,
    // another is refused: nothing changes, and the progress dialog of the running one comes up.
    void importLog(const QString &path);

    // Opens a log given by the file system's path as a file argument, a drop or Recent Logs does: the
    // folder box shows the log's folder (when it exists), the combo its name, and it is imported.
    void openLog(const QString &path);

    // Loads every log of folder (as the folder box names it) as one log, as "Open All Logs in Folder"
    // does: in name order, which is the order of the sessions. All or nothing, like an import.
    void openAllLogs(const QString &folder);

    // True while an import or a chat text is under way on a worker thread.
    bool isBusy() const;

    // The threads that the windows' work runs on: a pool of their own, since Qt's painting borrows
    // threads from the global one and must never wait behind a long import.
    static QThreadPool *workerPool();

    // The local path of the one log file that mime data carries, or empty when it carries anything else:
    // several files, a folder, a URL that is no local file.
    static QString droppedLogPath(const QMimeData *mimeData);

signals:
    // The last piece of work under way has ended and its outcome is on screen.
    void idle();

public slots:
    void Form_Load();
    void mnuFile_Exit_Click();
    void mnuFile_OpenAllLogs_Click();

    // Log folder and file.
    void txtFileLocation_Change();
    void cmdBrowsPath_Click();
    void cmdChangeDirToLogs_Click();
    void cmdChangeDirToLogs_Old_Click();

    // Import and the merged-chat table.
    void cmdImportFile_Click();
    void cmdClearList_Click();

    // Chat view and paging.
    void RefreshChatText();
    void RefreshChatPage();
    void lstChatNames_Click();
    void lstMergedChatNames_Click();
    void cmdPageNext_Click();
    void cmdPagePrevious_Click();
    // The option handlers run after their menu item has flipped its check mark.
    void mnuOptionsShowTimestamp_Click();
    void mnuOptions_PublicChannel_DisplayGameFeedback_Click();
    void mnuOptions_PublicChannel_DisplaySystem_Click();

    // Merged chats, copy and save, layout, About.
    void cmdAddMergedChat_Click();
    void cmdCopyToClipboard_Click();
    void cmdSaveLogToFile_Click();
    void Form_Resize();
    void mnuHelp_About_Click();

    // Recent Logs: the chosen entry's log is opened as a file argument would be; one that no longer
    // exists is reported and taken off the list.
    void mnuFile_RecentLogs_Click(QAction *action);

    // The Edit menu: copy and select in the view, find in the whole chat, move between pages.
    void mnuEdit_Copy_Click();
    void mnuEdit_SelectAll_Click();
    void mnuEdit_Find_Click();
    // Find Next searches down, Find Previous up, for the last text searched; before any search they
    // open the Find box.
    void mnuEdit_FindNext_Click();
    void mnuEdit_FindPrevious_Click();
    void mnuEdit_GoToPage_Click();
    void mnuEdit_FirstPage_Click();
    void mnuEdit_PreviousPage_Click();
    void mnuEdit_NextPage_Click();
    void mnuEdit_LastPage_Click();

    // Follow Log: while checked, what the game appends to the imported log is read and shown as it
    // comes. followLog reads once; the watcher and a timer call it while following.
    void mnuOptionsFollowLog_Click();
    void followLog();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What an import reads and how the window names the log once it is in.
    struct ImportRequest {
        QStringList files; // local paths, read in this order as one log
        QString shownPath; // a single file as the user gave it, for its messages; empty for a folder
        QString label;     // what the progress dialog says
        QString title;     // the window title once loaded
        QString logPath;   // ReaderState::logPath once loaded
    };
    struct ImportOutcome {
        modMain::LoadResult result;
        QString failedPath; // the file that failed a load of several
        // Where a single file's load stopped, for following what is written to it later.
        std::optional<modMain::LogFollower> follower;
    };
    void startImport(const ImportRequest &request);
    void finishImport(const ImportRequest &request);
    // After an import: the single chat on view, rebuilt from the new log on page 1 with its row
    // selected when the log has it; otherwise an empty view without page controls.
    void showChatOfNewLog();
    // Answers an import asked for while another runs: the running one's progress comes up instead.
    bool refuseWhileImporting();
    // Puts text on view as the chat of SelectedChats, from page 1.
    void showChatText(QString text);
    // Forgets the chat text being built, if any (then true): its result will not be shown. With
    // restore, the chats and options go back to those of the text on view.
    bool dropTextJob(bool restore);
    void emitIdleIfDone();
    // Lets go of a large value on a worker thread, so that freeing it does not hold up the window.
    template <typename T> static void releaseInWorker(std::shared_ptr<T> value);

    void createControls();
    void createMenus();
    void setTabOrder();
    // The message of a handler's error trap: "<description> occured during <where>".
    void showErrorTrap(int number, const QString &description, const QString &where);
    void changeDirToGameFolder(const QString &subFolder);
    // The text on view as it stands, user's edits included, with lineEnd between its lines.
    QString chatViewText(const QString &lineEnd) const;
    // The client area below which controls would be cut off: everything above the chat box at its
    // designed size, and a chat box of a few lines with the buttons under it.
    QSize minimumClientSize() const;

    // Shows page (from 1) of the chat on view, with the page buttons and menu items as the page buttons
    // keep them: Previous disabled exactly on page 1, Next exactly on the last page.
    void showPage(int page);
    void updatePageActions();
    // Searches the chat on view from the view's cursor and shows the match; says so when there is none.
    void findInChat(const QString &text, bool matchCase, modMain::SearchDirection direction);
    void findAgain(modMain::SearchDirection direction);
    // Moves the Find box out of the way when it covers the match just shown.
    void keepFindBoxOffMatch();
    void rebuildRecentLogsMenu(const QStringList &logs);
    // Whether the drop handlers take this drag: one log file, not text for a text field.
    bool acceptLogDrag(QDropEvent *event);

    // Live follow of the imported log.
    void startFollowing();
    void stopFollowing();
    // Whether the window alone holds the loaded log, so that it may change in place.
    bool logHeldAlone() const;
    // Ends following for good, after the log was cut, replaced or could not be read, and says why.
    void abandonFollowing(const modMain::FollowRead &read);
    void addFollowedRecords(const modMain::FollowRead &read);
    // The text on view grows by added, the view kept where it was, or at the end when it was there.
    void extendChatText(const QString &added);
    // Shows page of a rebuilt text, keeping the scroll position, or the end when atEnd.
    void showPageKeepingScroll(int page, bool atEnd);
    // The page label, the page buttons and the page menu items as the usual rules want them.
    void updatePagingControls();
    // Whether the end of the text on view is in sight on its last page.
    bool viewAtEnd() const;
    void updateFollowTitle();

    // The chat view's size in twips as the resize rule computes it. It may fall below zero while the
    // window is very small; the view itself then stops at zero, and growing the window back restores
    // exactly the earlier layout.
    double chatHeight_ = 0;
    double chatWidth_ = 0;
    bool layoutReady_ = false;

    ReaderState state_;

    // The import under way, if any, and its progress.
    QFutureWatcher<ImportOutcome> *importWatcher_ = nullptr;
    QPointer<WorkProgress> importProgress_;
    // The chat text being built, if any; a newer request replaces it. The chats and options of the text
    // on view are kept to go back to when the user cancels.
    QFutureWatcher<QString> *textWatcher_ = nullptr;
    QPointer<WorkProgress> textProgress_;
    QStringList viewChats_;
    modMain::DisplayOptions viewOptions_;

    // Where the import of the loaded log ended, for following it; empty once following became impossible.
    std::optional<modMain::LogFollower> follower_;
    QFileSystemWatcher *followWatcher_ = nullptr;
    QTimer *followTimer_ = nullptr;

    // The Find box, made at its first use, and the last search, which Find Next and Previous repeat.
    frmFind *findBox_ = nullptr;
    QString lastFindText_;
    bool lastMatchCase_ = false;

    // Controls, named as in the window's design.
    QPushButton *cmdChangeDirToLogs = nullptr;
    QPushButton *cmdChangeDirToLogs_Old = nullptr;
    FileListBox *flstFileName = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtFileLocation = nullptr;
    QComboBox *cmbFileName = nullptr;
    QPushButton *cmdBrowsPath = nullptr;
    QPushButton *cmdImportFile = nullptr;
    QLabel *Label1 = nullptr;
    ChatListBox *lstChatNames = nullptr;
    QLabel *Label4 = nullptr;
    ChatListBox *lstMergedChatNames = nullptr;
    QPushButton *cmdAddMergedChat = nullptr;
    QPushButton *cmdClearList = nullptr;
    QLabel *lblChatLog = nullptr;
    QPlainTextEdit *txtChat = nullptr;
    QPushButton *cmdPagePrevious = nullptr;
    QPushButton *cmdPageNext = nullptr;
    QLabel *lblPageLabel = nullptr;
    QPushButton *cmdCopyToClipboard = nullptr;
    QPushButton *cmdSaveLogToFile = nullptr;
    CommonDialog *cdgMainDialogs = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *mnuFile_OpenAllLogs = nullptr;
    QMenu *mnuFile_RecentLogs = nullptr;
    QAction *mnuFile_Exit = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *mnuEdit_Copy = nullptr;
    QAction *mnuEdit_SelectAll = nullptr;
    QAction *mnuEdit_Find = nullptr;
    QAction *mnuEdit_FindNext = nullptr;
    QAction *mnuEdit_FindPrevious = nullptr;
    QAction *mnuEdit_GoToPage = nullptr;
    QAction *mnuEdit_FirstPage = nullptr;
    QAction *mnuEdit_PreviousPage = nullptr;
    QAction *mnuEdit_NextPage = nullptr;
    QAction *mnuEdit_LastPage = nullptr;
    QMenu *mnuOptions = nullptr;
    QAction *mnuOptionsShowTimestamp = nullptr;
    QMenu *mnuOptions_PublicChannel = nullptr;
    QAction *mnuOptions_PublicChannel_DisplayGameFeedback = nullptr;
    QAction *mnuOptions_PublicChannel_DisplaySystem = nullptr;
    QAction *mnuOptionsFollowLog = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelp_About = nullptr;
};
