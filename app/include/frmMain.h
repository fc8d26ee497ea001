#pragma once

#include <QMainWindow>
#include <QStringList>

#include "FileListBox.h"
#include "ReaderState.h"

class CommonDialog;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;

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

public slots:
    void Form_Load();
    void mnuFile_Exit_Click();

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

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setTabOrder();
    // The message of a handler's error trap: "<description> occured during <where>".
    void showErrorTrap(int number, const QString &description, const QString &where);
    void changeDirToGameFolder(const QString &subFolder);
    // The text on view as it stands, user's edits included, with lineEnd between its lines.
    QString chatViewText(const QString &lineEnd) const;

    // The chat view's size in twips as the resize rule computes it. It may fall below zero while the
    // window is very small; the view itself then stops at zero, and growing the window back restores
    // exactly the earlier layout.
    double chatHeight_ = 0;
    double chatWidth_ = 0;
    bool layoutReady_ = false;

    ReaderState state_;

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
    QListWidget *lstChatNames = nullptr;
    QLabel *Label4 = nullptr;
    QListWidget *lstMergedChatNames = nullptr;
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
    QAction *mnuFile_Exit = nullptr;
    QMenu *mnuEdit = nullptr;
    QMenu *mnuOptions = nullptr;
    QAction *mnuOptionsShowTimestamp = nullptr;
    QMenu *mnuOptions_PublicChannel = nullptr;
    QAction *mnuOptions_PublicChannel_DisplayGameFeedback = nullptr;
    QAction *mnuOptions_PublicChannel_DisplaySystem = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelp_About = nullptr;
};
