#include "frmMainUi.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>

#include <algorithm>
#include <utility>

#include "AppIcon.h"
#include "ChatFilterBox.h"
#include "ChatListBox.h"
#include "CommonDialog.h"
#include "DesignedControls.h"
#include "FileListBox.h"
#include "PlatformPaths.h"
#include "Twips.h"
#include "frmMain.h"

namespace {

// Designed places (twips) of the chat view and of the controls that follow its bottom edge.
constexpr double kChatLeft = 120, kChatTop = 2880, kChatWidth = 9135, kChatHeight = 3615;
constexpr double kPageLabelGap = 120;
// The designed client area; the resize rule keeps the designed space under the chat box.
constexpr double kClientWidth = 9420, kClientHeight = 7395;
constexpr double kBelowChat = kClientHeight - kChatTop - kChatHeight;
// Lines of text the chat box keeps at the window's smallest.
constexpr int kMinimumChatLines = 4;

} // namespace

void frmMainUi::setupUi(frmMain *window)
{
    window->setObjectName(QStringLiteral("frmMain"));
    window->setFont(twips::designFont());
    window->setWindowIcon(appIcon());
    window->setAcceptDrops(true);
    createControls(window);
    createMenus(window);
    orderTabs();
    describeControls();
    window->centralWidget()->setMinimumSize(minimumClientSize());
    // Below the designed client area: what Find and the buttons say for a moment, and the loaded log.
    window->statusBar()->setObjectName(QStringLiteral("sbStatus"));
    lblLogStatus = new QLabel(window->statusBar());
    lblLogStatus->setObjectName(QStringLiteral("lblLogStatus"));
    window->statusBar()->addPermanentWidget(lblLogStatus);
    window->resize(twips::toPixels(kClientWidth), twips::toPixels(kClientHeight) +
                                                      window->menuBar()->sizeHint().height() +
                                                      window->statusBar()->sizeHint().height());
    cmdImportFile->setFocus();
    chatHeight_ = kChatHeight;
    chatWidth_ = kChatWidth;
    connectHandlers(window);
}

void frmMainUi::connectHandlers(frmMain *window)
{
    // A list's handler runs on every click on a row, also on the row already selected, and when the
    // keyboard moves the selection; not when the list merely takes the focus.
    QObject::connect(lstChatNames, &ChatListBox::rowClicked, window, &frmMain::lstChatNames_Click);
    QObject::connect(lstMergedChatNames, &ChatListBox::rowClicked, window,
                     &frmMain::lstMergedChatNames_Click);
    QObject::connect(cmdImportFile, &QPushButton::clicked, window, &frmMain::cmdImportFile_Click);
    QObject::connect(cmdClearList, &QPushButton::clicked, window, &frmMain::cmdClearList_Click);
    QObject::connect(cmdPageNext, &QPushButton::clicked, window, &frmMain::cmdPageNext_Click);
    QObject::connect(cmdPagePrevious, &QPushButton::clicked, window, &frmMain::cmdPagePrevious_Click);
    QObject::connect(cmdAddMergedChat, &QPushButton::clicked, window, &frmMain::cmdAddMergedChat_Click);
    QObject::connect(cmdCopyToClipboard, &QPushButton::clicked, window, &frmMain::cmdCopyToClipboard_Click);
    QObject::connect(cmdSaveLogToFile, &QPushButton::clicked, window, &frmMain::cmdSaveLogToFile_Click);
    QObject::connect(cmdBrowsPath, &QPushButton::clicked, window, &frmMain::cmdBrowsPath_Click);
    QObject::connect(cmdChangeDirToLogs, &QPushButton::clicked, window, &frmMain::cmdChangeDirToLogs_Click);
    QObject::connect(cmdChangeDirToLogs_Old, &QPushButton::clicked, window,
                     &frmMain::cmdChangeDirToLogs_Old_Click);
    QObject::connect(mnuFile_Exit, &QAction::triggered, window, &frmMain::mnuFile_Exit_Click);
    QObject::connect(mnuFile_OpenAllLogs, &QAction::triggered, window, &frmMain::mnuFile_OpenAllLogs_Click);
    QObject::connect(mnuFile_RecentLogs, &QMenu::triggered, window, &frmMain::mnuFile_RecentLogs_Click);
    QObject::connect(mnuFile_ExportChat, &QAction::triggered, window, &frmMain::mnuFile_ExportChat_Click);
    QObject::connect(mnuEdit_Copy, &QAction::triggered, window, &frmMain::mnuEdit_Copy_Click);
    QObject::connect(mnuEdit_SelectAll, &QAction::triggered, window, &frmMain::mnuEdit_SelectAll_Click);
    QObject::connect(mnuEdit_Find, &QAction::triggered, window, &frmMain::mnuEdit_Find_Click);
    QObject::connect(mnuEdit_FindNext, &QAction::triggered, window, &frmMain::mnuEdit_FindNext_Click);
    QObject::connect(mnuEdit_FindPrevious, &QAction::triggered, window, &frmMain::mnuEdit_FindPrevious_Click);
    QObject::connect(mnuEdit_GoToPage, &QAction::triggered, window, &frmMain::mnuEdit_GoToPage_Click);
    QObject::connect(mnuEdit_FirstPage, &QAction::triggered, window, &frmMain::mnuEdit_FirstPage_Click);
    QObject::connect(mnuEdit_PreviousPage, &QAction::triggered, window, &frmMain::mnuEdit_PreviousPage_Click);
    QObject::connect(mnuEdit_NextPage, &QAction::triggered, window, &frmMain::mnuEdit_NextPage_Click);
    QObject::connect(mnuEdit_LastPage, &QAction::triggered, window, &frmMain::mnuEdit_LastPage_Click);
    QObject::connect(txtChat, &QPlainTextEdit::copyAvailable, mnuEdit_Copy, &QAction::setEnabled);
    QObject::connect(mnuHelp_About, &QAction::triggered, window, &frmMain::mnuHelp_About_Click);
    QObject::connect(mnuOptionsShowTimestamp, &QAction::triggered, window,
                     &frmMain::mnuOptionsShowTimestamp_Click);
    QObject::connect(mnuOptions_PublicChannel_DisplayGameFeedback, &QAction::triggered, window,
                     &frmMain::mnuOptions_PublicChannel_DisplayGameFeedback_Click);
    QObject::connect(mnuOptions_PublicChannel_DisplaySystem, &QAction::triggered, window,
                     &frmMain::mnuOptions_PublicChannel_DisplaySystem_Click);
    QObject::connect(mnuOptionsFollowLog, &QAction::triggered, window, &frmMain::mnuOptionsFollowLog_Click);
}

void frmMainUi::createControls(QMainWindow *window)
{
    auto *client = new QWidget(window);
    client->setObjectName(QStringLiteral("frmMain_client"));
    window->setCentralWidget(client);

    cmdChangeDirToLogs = makeButton(client, QStringLiteral("cmdChangeDirToLogs"), QStringLiteral("Logs"));
    twips::setGeometry(cmdChangeDirToLogs, 240, 240, 1215, 255);
    cmdChangeDirToLogs_Old =
        makeButton(client, QStringLiteral("cmdChangeDirToLogs_Old"), QStringLiteral("Logs_Old"));
    twips::setGeometry(cmdChangeDirToLogs_Old, 1440, 240, 1215, 255);

    flstFileName = new FileListBox(window);
    flstFileName->toLocalPath = platformpaths::toLocalPath;

    Label5 = makeHeaderLabel(client, QStringLiteral("Label5"), QStringLiteral("Path:"));
    twips::setGeometry(Label5, 240, 480, 3495, 255);
    Label2 = makeHeaderLabel(client, QStringLiteral("Label2"), QStringLiteral("File:"));
    twips::setGeometry(Label2, 3720, 480, 3495, 255);

    txtFileLocation = new QLineEdit(QStringLiteral("D:\\Kestrel Games\\Evenfall\\logs\\"), client);
    txtFileLocation->setObjectName(QStringLiteral("txtFileLocation"));
    twips::setGeometry(txtFileLocation, 240, 720, 3495, 315);

    cmbFileName = new QComboBox(client);
    cmbFileName->setObjectName(QStringLiteral("cmbFileName"));
    cmbFileName->setEditable(true);
    cmbFileName->setInsertPolicy(QComboBox::NoInsert); // typing a name must not add it to the list
    twips::setGeometry(cmbFileName, 3720, 720, 3495, 315);

    cmdBrowsPath = makeButton(client, QStringLiteral("cmdBrowsPath"), QStringLiteral("..."));
    twips::setGeometry(cmdBrowsPath, 7200, 480, 495, 525);
    cmdImportFile = makeButton(client, QStringLiteral("cmdImportFile"), QStringLiteral("&Import File"));
    twips::setGeometry(cmdImportFile, 7800, 480, 1335, 495);

    Label1 = makeHeaderLabel(client, QStringLiteral("Label1"), QStringLiteral("List of Chats:"));
    twips::setGeometry(Label1, 240, 1200, 2655, 255);
    lstChatNames = new ChatListBox(client);
    lstChatNames->setObjectName(QStringLiteral("lstChatNames"));
    lstChatNames->setSelectionMode(QAbstractItemView::SingleSelection);
    twips::setGeometry(lstChatNames, 240, 1440, 2655, 1035);
    // On the right of the list's header bar, where it takes no room from the list.
    txtChatFilter = new ChatFilterBox(lstChatNames, client);
    twips::setGeometry(txtChatFilter, 1440, 1140, 1455, 300);

    Label4 = makeHeaderLabel(client, QStringLiteral("Label4"), QStringLiteral("List of Merged Chats:"));
    twips::setGeometry(Label4, 3000, 1200, 3735, 255);
    lstMergedChatNames = new ChatListBox(client);
    lstMergedChatNames->setObjectName(QStringLiteral("lstMergedChatNames"));
    lstMergedChatNames->setSelectionMode(QAbstractItemView::SingleSelection);
    twips::setGeometry(lstMergedChatNames, 3000, 1440, 3735, 1035);

    cmdAddMergedChat =
        makeButton(client, QStringLiteral("cmdAddMergedChat"), QStringLiteral("&Add Merged Chat"));
    twips::setGeometry(cmdAddMergedChat, 6840, 1200, 1095, 615);
    cmdAddMergedChat->setEnabled(false);
    cmdClearList = makeButton(client, QStringLiteral("cmdClearList"), QStringLiteral("Clear List"));
    twips::setGeometry(cmdClearList, 6840, 1800, 1095, 615);

    lblChatLog = makeHeaderLabel(client, QStringLiteral("lblChatLog"), QStringLiteral("Chat Log:"));
    twips::setGeometry(lblChatLog, 120, 2640, 9135, 255);

    txtChat = new QPlainTextEdit(client);
    txtChat->setObjectName(QStringLiteral("txtChat"));
    txtChat->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtChat->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtChat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtChat->setTabChangesFocus(true);
    twips::setGeometry(txtChat, kChatLeft, kChatTop, kChatWidth, kChatHeight);

    cmdPagePrevious = makeButton(client, QStringLiteral("cmdPagePrevious"), QStringLiteral("<- Previous"));
    twips::setGeometry(cmdPagePrevious, 120, 6480, 1095, 375);
    cmdPagePrevious->setVisible(false);
    cmdPageNext = makeButton(client, QStringLiteral("cmdPageNext"), QStringLiteral("Next ->"));
    twips::setGeometry(cmdPageNext, 1200, 6480, 1095, 375);
    cmdPageNext->setVisible(false);
    lblPageLabel = new QLabel(QStringLiteral("Page"), client);
    lblPageLabel->setObjectName(QStringLiteral("lblPageLabel"));
    twips::setGeometry(lblPageLabel, 2400, 6600, 1815, 255);
    lblPageLabel->setVisible(false);

    cmdCopyToClipboard =
        makeButton(client, QStringLiteral("cmdCopyToClipboard"), QStringLiteral("Copy to Clipboard"));
    twips::setGeometry(cmdCopyToClipboard, 6240, 6480, 1575, 375);
    cmdSaveLogToFile =
        makeButton(client, QStringLiteral("cmdSaveLogToFile"), QStringLiteral("&Save Log to File..."));
    twips::setGeometry(cmdSaveLogToFile, 7800, 6480, 1455, 375);

    cdgMainDialogs = new CommonDialog(window);
    cdgMainDialogs->toLocalPath = platformpaths::toLocalPath;
}

QSize frmMainUi::minimumClientSize() const
{
    const int chatBox = txtChat->fontMetrics().lineSpacing() * kMinimumChatLines +
                        2 * int(txtChat->document()->documentMargin()) + 2 * txtChat->frameWidth() +
                        txtChat->horizontalScrollBar()->sizeHint().height();
    return QSize(twips::toPixels(kClientWidth),
                 twips::toPixels(kChatTop) + chatBox + twips::toPixels(kBelowChat));
}

void frmMainUi::createMenus(QMainWindow *window)
{
    auto makeMenu = [](QMenu *menu, const QString &name) {
        menu->setObjectName(name);
        return menu;
    };
    auto makeAction = [window](QMenu *menu, const QString &name, const QString &caption, bool checkable,
                               bool checked) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        action->setParent(window);
        action->setCheckable(checkable);
        action->setChecked(checked);
        return action;
    };

    auto withShortcut = [](QAction *action, const QKeySequence &keys) {
        action->setShortcut(keys);
        return action;
    };

    QMenuBar *bar = window->menuBar();
    mnuFile = makeMenu(bar->addMenu(QStringLiteral("&File")), QStringLiteral("mnuFile"));
    mnuFile_OpenAllLogs =
        withShortcut(makeAction(mnuFile, QStringLiteral("mnuFile_OpenAllLogs"),
                                QStringLiteral("&Open All Logs in Folder..."), false, false),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    mnuFile_RecentLogs =
        makeMenu(mnuFile->addMenu(QStringLiteral("&Recent Logs")), QStringLiteral("mnuFile_RecentLogs"));
    mnuFile->addSeparator();
    mnuFile_ExportChat = withShortcut(makeAction(mnuFile, QStringLiteral("mnuFile_ExportChat"),
                                                 QStringLiteral("&Export Chat..."), false, false),
                                      QKeySequence(Qt::CTRL | Qt::Key_E));
    mnuFile_ExportChat->setEnabled(false); // until a chat is on view
    mnuFile->addSeparator();
    mnuFile_Exit = makeAction(mnuFile, QStringLiteral("mnuFile_Exit"), QStringLiteral("E&xit"), false, false);

    mnuEdit = makeMenu(bar->addMenu(QStringLiteral("&Edit")), QStringLiteral("mnuEdit"));
    mnuEdit_Copy = withShortcut(
        makeAction(mnuEdit, QStringLiteral("mnuEdit_Copy"), QStringLiteral("&Copy"), false, false),
        QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuEdit_SelectAll = withShortcut(
        makeAction(mnuEdit, QStringLiteral("mnuEdit_SelectAll"), QStringLiteral("Select &All"), false, false),
        QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuEdit->addSeparator();
    mnuEdit_Find = withShortcut(
        makeAction(mnuEdit, QStringLiteral("mnuEdit_Find"), QStringLiteral("&Find..."), false, false),
        QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuEdit_FindNext = withShortcut(
        makeAction(mnuEdit, QStringLiteral("mnuEdit_FindNext"), QStringLiteral("Find &Next"), false, false),
        QKeySequence(Qt::Key_F3));
    mnuEdit_FindPrevious = withShortcut(makeAction(mnuEdit, QStringLiteral("mnuEdit_FindPrevious"),
                                                   QStringLiteral("Find Pre&vious"), false, false),
                                        QKeySequence(Qt::SHIFT | Qt::Key_F3));
    mnuEdit->addSeparator();
    mnuEdit_GoToPage = withShortcut(makeAction(mnuEdit, QStringLiteral("mnuEdit_GoToPage"),
                                               QStringLiteral("&Go to Page..."), false, false),
                                    QKeySequence(Qt::CTRL | Qt::Key_G));
    mnuEdit_FirstPage =
        makeAction(mnuEdit, QStringLiteral("mnuEdit_FirstPage"), QStringLiteral("F&irst Page"), false, false);
    mnuEdit_PreviousPage = withShortcut(makeAction(mnuEdit, QStringLiteral("mnuEdit_PreviousPage"),
                                                   QStringLiteral("&Previous Page"), false, false),
                                        QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    mnuEdit_NextPage = withShortcut(
        makeAction(mnuEdit, QStringLiteral("mnuEdit_NextPage"), QStringLiteral("Nex&t Page"), false, false),
        QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    mnuEdit_LastPage =
        makeAction(mnuEdit, QStringLiteral("mnuEdit_LastPage"), QStringLiteral("&Last Page"), false, false);
    mnuEdit_Copy->setEnabled(false); // it follows the view's selection

    mnuOptions = makeMenu(bar->addMenu(QStringLiteral("&Options")), QStringLiteral("mnuOptions"));
    mnuOptionsShowTimestamp = makeAction(mnuOptions, QStringLiteral("mnuOptionsShowTimestamp"),
                                         QStringLiteral("&Show Timestamp"), true, false);
    mnuOptions_PublicChannel = makeMenu(mnuOptions->addMenu(QStringLiteral("Public Channel")),
                                        QStringLiteral("mnuOptions_PublicChannel"));
    mnuOptions_PublicChannel_DisplayGameFeedback =
        makeAction(mnuOptions_PublicChannel, QStringLiteral("mnuOptions_PublicChannel_DisplayGameFeedback"),
                   QStringLiteral("Display Game Feedback"), true, true);
    mnuOptions_PublicChannel_DisplaySystem =
        makeAction(mnuOptions_PublicChannel, QStringLiteral("mnuOptions_PublicChannel_DisplaySystem"),
                   QStringLiteral("Display System"), true, true);
    mnuOptions_SortChats =
        makeMenu(mnuOptions->addMenu(QStringLiteral("Sort &Chats")), QStringLiteral("mnuOptions_SortChats"));
    auto *orders = new QActionGroup(window);
    for (const auto &[name, caption] :
         {std::pair{"Appearance", "In Order of &Appearance"}, std::pair{"Name", "By &Name"},
          std::pair{"LastLine", "By &Last Line"}}) {
        QAction *order =
            makeAction(mnuOptions_SortChats, QStringLiteral("mnuOptions_SortChats_") + QLatin1String(name),
                       QLatin1String(caption), true, mnuOptions_SortChats_Items.isEmpty());
        orders->addAction(order);
        mnuOptions_SortChats_Items.append(order);
    }
    mnuOptions->addSeparator();
    mnuOptionsFollowLog = withShortcut(makeAction(mnuOptions, QStringLiteral("mnuOptionsFollowLog"),
                                                  QStringLiteral("&Follow Log"), true, false),
                                       QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuOptionsFollowLog->setEnabled(false); // until a log is imported

    mnuHelp = makeMenu(bar->addMenu(QStringLiteral("&Help")), QStringLiteral("mnuHelp"));
    mnuHelp_About =
        makeAction(mnuHelp, QStringLiteral("mnuHelp_About"), QStringLiteral("&About"), false, false);
}

void frmMainUi::orderTabs()
{
    // From the top left to the bottom right, as the eye reads the window; labels and the hidden file
    // list take no focus.
    QWidget *const order[] = {
        txtFileLocation,        cmdBrowsPath, cmbFileName,     cmdImportFile,    cmdChangeDirToLogs,
        cmdChangeDirToLogs_Old, lstChatNames, txtChatFilter,   cmdAddMergedChat, lstMergedChatNames,
        cmdClearList,           txtChat,      cmdPagePrevious, cmdPageNext,      cmdCopyToClipboard,
        cmdSaveLogToFile,
    };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmMainUi::describeControls()
{
    txtFileLocation->setAccessibleName(QStringLiteral("Path"));
    cmbFileName->setAccessibleName(QStringLiteral("File"));
    // The caption "..." says nothing when read out.
    cmdBrowsPath->setAccessibleName(QStringLiteral("Browse for a log"));
    lstChatNames->setAccessibleName(QStringLiteral("List of Chats"));
    lstChatNames->setAccessibleDescription(
        QStringLiteral("The chats of the imported log: channels, conversations and the public chat. "
                       "Choose one to read it."));
    lstMergedChatNames->setAccessibleName(QStringLiteral("List of Merged Chats"));
    lstMergedChatNames->setAccessibleDescription(
        QStringLiteral("Chats put together with Add Merged Chat. Choose one to read its chats as one."));
    txtChat->setAccessibleName(QStringLiteral("Chat Log"));
    txtChat->setAccessibleDescription(QStringLiteral("The text of the chat on view, a page at a time."));
    cmdPagePrevious->setAccessibleName(QStringLiteral("Previous Page"));
    cmdPageNext->setAccessibleName(QStringLiteral("Next Page"));
}

void frmMainUi::fillRecentLogs(const QStringList &logs)
{
    // Deleted later: the menu may be refilled from the handler of one of its own items.
    for (QAction *old : mnuFile_RecentLogs->actions()) {
        mnuFile_RecentLogs->removeAction(old);
        old->deleteLater();
    }
    for (qsizetype i = 0; i < logs.size(); ++i) {
        const QString shown = QDir::toNativeSeparators(logs[i]);
        const QString elided =
            QFontMetrics(mnuFile_RecentLogs->font()).elidedText(shown, Qt::ElideMiddle, 480);
        QAction *action = mnuFile_RecentLogs->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QString(elided).replace(u'&', QStringLiteral("&&"))));
        action->setObjectName(QStringLiteral("mnuFile_RecentLogs_%1").arg(i + 1));
        action->setData(logs[i]);
        action->setToolTip(shown);
    }
    mnuFile_RecentLogs->menuAction()->setEnabled(!logs.isEmpty());
}

void frmMainUi::growChatBox(double widthChange, double heightChange)
{
    chatHeight_ += heightChange;
    chatWidth_ += widthChange;
    const double shownHeight = std::max(0.0, chatHeight_);
    const double shownWidth = std::max(0.0, chatWidth_);
    twips::setGeometry(txtChat, kChatLeft, kChatTop, shownWidth, shownHeight);
    const double bottom = kChatTop + shownHeight;
    for (QWidget *button :
         {static_cast<QWidget *>(cmdCopyToClipboard), static_cast<QWidget *>(cmdSaveLogToFile),
          static_cast<QWidget *>(cmdPageNext), static_cast<QWidget *>(cmdPagePrevious)})
        button->move(button->x(), twips::toPixels(bottom));
    lblPageLabel->move(lblPageLabel->x(), twips::toPixels(bottom + kPageLabelGap));
    lblChatLog->resize(twips::toPixels(shownWidth), lblChatLog->height());
}
