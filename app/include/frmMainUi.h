#pragma once

#include <QList>
#include <QSize>
#include <QStringList>

class ChatFilterBox;
class ChatListBox;
class CommonDialog;
class FileListBox;
class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class frmMain;

// The main window's controls and menus as designed: their names, captions, places (twips), tab order and
// the smallest size at which nothing is cut off, each wired to the window's handler of its name.
class frmMainUi {
public:
    // Builds every control and menu item on window, with the window's font, icon and designed size, and
    // connects them to its handlers.
    void setupUi(frmMain *window);

    // The resize rule's geometry: the chat box grows by the change of the window's size (twips), and the
    // controls under it follow its bottom edge. The box stops at zero while the window is very small;
    // growing the window back restores exactly the earlier layout.
    void growChatBox(double widthChange, double heightChange);
    // Recent Logs lists logs, most recent first, each named by its path (elided in the middle when long)
    // and numbered; the menu is disabled while empty.
    void fillRecentLogs(const QStringList &logs);

private:
    // The window uses its controls by their designed names.
    friend class frmMain;

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
    ChatFilterBox *txtChatFilter = nullptr;
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
    QLabel *lblLogStatus = nullptr; // the status bar's account of the loaded log

    QMenu *mnuFile = nullptr;
    QAction *mnuFile_OpenAllLogs = nullptr;
    QMenu *mnuFile_RecentLogs = nullptr;
    QAction *mnuFile_ExportChat = nullptr;
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
    QMenu *mnuOptions_SortChats = nullptr;
    // In the order of modMain::ChatOrder.
    QList<QAction *> mnuOptions_SortChats_Items;
    QAction *mnuOptionsFollowLog = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelp_About = nullptr;

    void createControls(QMainWindow *window);
    void createMenus(QMainWindow *window);
    void orderTabs();
    // Names and descriptions for assistive technology: a control's name is its label's text.
    void describeControls();
    void connectHandlers(frmMain *window);
    // The client area below which controls would be cut off: everything above the chat box at its
    // designed size, and a chat box of a few lines with the buttons under it.
    QSize minimumClientSize() const;

    // The chat box's size in twips as the resize rule computes it; it may fall below zero.
    double chatHeight_ = 0;
    double chatWidth_ = 0;
};
