#pragma once

#include <QMainWindow>
#include <QStringList>

#include <memory>

#include "FileListBox.h"
#include "ReaderState.h"
#include "frmMainUi.h"

class ChatExporter;
class ChatFinder;
class ChatListFilter;
class ChatPageView;
class ChatTextJob;
class FollowSession;
class FolderBoxCheck;
class LogChoice;
class LogImporter;
class LogStatus;
class QAction;
class QThreadPool;
class SearchDock;
namespace modMain {
struct FollowRead;
}

// The reader's main window: choose a log folder and file, import it, pick chats, page through their
// text, copy or save it. Controls carry their documented object names; handlers are public slots.
class frmMain : public QMainWindow, private frmMainUi {
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

    // True while an import (its list of chats filling included), a chat text or an export is under way.
    bool isBusy() const;

    // The threads that the windows' work runs on: a pool of their own, since Qt's painting borrows
    // threads from the global one and must never wait behind a long import.
    static QThreadPool *workerPool();

signals:
    // The last piece of work under way has ended and its outcome is on screen.
    void idle();

public slots:
    void Form_Load();
    void mnuFile_Exit_Click();
    void mnuFile_OpenAllLogs_Click();
    // Writes the whole text on view, every page, to a file the user names, as text or a web page.
    void mnuFile_ExportChat_Click();

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
    // comes. followLog reads once, as a change notice or the poll timer does while following.
    void mnuOptionsFollowLog_Click();
    void followLog();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Wires the window to the rooms it works with, and the drop targets.
    void connectRooms();
    // The import has ended: its outcome is reported, or the log it read is swapped in.
    void finishImport();
    void takeListedLog();
    // After an import: the single chat on view, rebuilt from the new log on page 1 with its row
    // selected when the log has it; otherwise an empty view without page controls.
    void showChatOfNewLog();
    // Answers an import asked for while another runs: the running one's progress comes up instead.
    bool refuseWhileImporting();
    // Puts text on view as the chat of SelectedChats, from page 1.
    void showChatText(QString text);
    // The display options become options, with their menu items' check marks.
    void setOptions(const modMain::DisplayOptions &options);
    // The set-up of the last run, where it makes sense, and its saving at the end of this one.
    void restoreSetup();
    // Forgets the chat text being built, if any (then true): its result will not be shown. With
    // restore, the chats and options go back to those of the text on view.
    bool dropTextJob(bool restore);
    void emitIdleIfDone();

    // The message of a handler's error trap: "<description> occured during <where>".
    void showErrorTrap(int number, const QString &description, const QString &where);
    // Shows page (from 1) of the chat on view, with its page controls.
    void showPage(int page);

    // Follow Log: the check mark and the title follow the session; what it reads joins the log and the
    // chat on view.
    void followingChanged(bool following);
    void addFollowedRecords(const modMain::FollowRead &read);

    bool layoutReady_ = false;

    ReaderState state_;

    LogImporter *importer_ = nullptr;
    // The chat text being built, if any; a newer request replaces it. The chats and options of the text
    // on view are kept to go back to when the user cancels.
    ChatTextJob *textJob_ = nullptr;
    QStringList viewChats_;
    modMain::DisplayOptions viewOptions_;
    FollowSession *follow_ = nullptr;
    ChatPageView *pages_ = nullptr;
    ChatFinder *finder_ = nullptr;
    SearchDock *search_ = nullptr;
    ChatListFilter *chatList_ = nullptr;
    struct ListedImport;
    std::unique_ptr<ListedImport> listing_; // an import whose chats are being listed
    ChatExporter *exporter_ = nullptr;
    FolderBoxCheck *folderCheck_ = nullptr;
    LogChoice *choice_ = nullptr;
    std::unique_ptr<LogStatus> status_;
};
