#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTextCursor>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <exception>
#include <new>

#include "AppIcon.h"
#include "ChatListBox.h"
#include "ChatLogFolder.h"
#include "ChatSearch.h"
#include "CommonDialog.h"
#include "DesignedControls.h"
#include "FileListBox.h"
#include "FormTeardown.h"
#include "LocalFiles.h"
#include "PlatformPaths.h"
#include "RecentLogs.h"
#include "TextCodec.h"
#include "Twips.h"
#include "WorkProgress.h"
#include "frmAbout.h"
#include "frmFind.h"
#include "frmGoToPage.h"
#include "frmMergeChats.h"
#include "modRegistryTools.h"

namespace {

// Designed places (twips) of the chat view and of the controls that follow its bottom edge.
constexpr double kChatLeft = 120, kChatTop = 2880, kChatWidth = 9135, kChatHeight = 3615;
constexpr double kPageLabelGap = 120;
// The designed client area; the resize rule keeps the designed space under the chat box.
constexpr double kClientWidth = 9420, kClientHeight = 7395;
constexpr double kBelowChat = kClientHeight - kChatTop - kChatHeight;
// Lines of text the chat box keeps at the window's smallest.
constexpr int kMinimumChatLines = 4;

const QString kProgramName = QStringLiteral("Evenfall Chat Log Reader");

const QString kGameKey = QStringLiteral("SOFTWARE\\KestrelGames\\Evenfall");
const QString kBrowseFilter =
    QStringLiteral("Evenfall Chat Logs (client_chat_log_*.txt)|client_chat_log_*.txt|All Files (*.*)|*.*");

// Chat text is built on the GUI thread, at once and without a progress dialog, for a log of at most
// this many records: a few milliseconds of work. Larger logs are read through on a worker thread.
constexpr qsizetype kInstantTextRecords = 50000;

// How long the status bar keeps what a search says about itself.
constexpr int kStatusMessageMs = 10000;

// A box sized to a short text is narrower than its title, which the window's frame then cuts off: a
// strut across the box makes room for the title in a bold title font and the frame's buttons.
void execWithRoomForTitle(QMessageBox &box)
{
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int room = metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height();
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0,
                      1, grid->columnCount());
    box.exec();
}

// Message box styles of the original program: 16 = critical, 48 = warning; always one OK button.
void showMessageBox(QWidget *parent, const QString &text, int style, const QString &title)
{
    QMessageBox box(style == 16 ? QMessageBox::Critical : QMessageBox::Warning, title, text, QMessageBox::Ok,
                    parent);
    execWithRoomForTitle(box);
}

} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kProgramName);
    setFont(twips::designFont());
    setWindowIcon(appIcon());
    setAcceptDrops(true);
    createControls();
    createMenus();
    setTabOrder();
    centralWidget()->setMinimumSize(minimumClientSize());
    statusBar()->setObjectName(QStringLiteral("sbStatus")); // below the designed client area, for Find
    resize(twips::toPixels(kClientWidth), twips::toPixels(kClientHeight) + menuBar()->sizeHint().height() +
                                              statusBar()->sizeHint().height());
    cmdImportFile->setFocus();
    chatHeight_ = kChatHeight;
    chatWidth_ = kChatWidth;
    Form_Load();
    layoutReady_ = true;
}

frmMain::~frmMain()
{
    disconnectChildrenFrom(this); // no handler runs while the controls are destroyed
    // The import reads files the window named: stop it and wait, which takes at most one read. A text
    // being built owns what it reads and is simply dropped.
    if (importWatcher_) {
        if (importProgress_)
            importProgress_->counters()->cancel.store(true);
        importWatcher_->waitForFinished();
    }
}

void frmMain::createControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("frmMain_client"));
    setCentralWidget(client);

    cmdChangeDirToLogs = makeButton(client, QStringLiteral("cmdChangeDirToLogs"), QStringLiteral("Logs"));
    twips::setGeometry(cmdChangeDirToLogs, 240, 240, 1215, 255);
    cmdChangeDirToLogs_Old =
        makeButton(client, QStringLiteral("cmdChangeDirToLogs_Old"), QStringLiteral("Logs_Old"));
    twips::setGeometry(cmdChangeDirToLogs_Old, 1440, 240, 1215, 255);

    flstFileName = new FileListBox(this);
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

    cdgMainDialogs = new CommonDialog(this);
    cdgMainDialogs->toLocalPath = platformpaths::toLocalPath;

    // A list's handler runs on every click on a row, also on the row already selected, and when the
    // keyboard moves the selection; not when the list merely takes the focus.
    connect(lstChatNames, &ChatListBox::rowClicked, this, &frmMain::lstChatNames_Click);
    connect(lstMergedChatNames, &ChatListBox::rowClicked, this, &frmMain::lstMergedChatNames_Click);
    connect(cmdImportFile, &QPushButton::clicked, this, &frmMain::cmdImportFile_Click);
    connect(cmdClearList, &QPushButton::clicked, this, &frmMain::cmdClearList_Click);
    connect(cmdPageNext, &QPushButton::clicked, this, &frmMain::cmdPageNext_Click);
    connect(cmdPagePrevious, &QPushButton::clicked, this, &frmMain::cmdPagePrevious_Click);
    connect(cmdAddMergedChat, &QPushButton::clicked, this, &frmMain::cmdAddMergedChat_Click);
    connect(cmdCopyToClipboard, &QPushButton::clicked, this, &frmMain::cmdCopyToClipboard_Click);
    connect(cmdSaveLogToFile, &QPushButton::clicked, this, &frmMain::cmdSaveLogToFile_Click);
    connect(txtFileLocation, &QLineEdit::textChanged, this, &frmMain::txtFileLocation_Change);
    connect(cmdBrowsPath, &QPushButton::clicked, this, &frmMain::cmdBrowsPath_Click);
    connect(cmdChangeDirToLogs, &QPushButton::clicked, this, &frmMain::cmdChangeDirToLogs_Click);
    connect(cmdChangeDirToLogs_Old, &QPushButton::clicked, this, &frmMain::cmdChangeDirToLogs_Old_Click);

    // A log file dropped on a text field opens like one dropped anywhere else on the window; text
    // dropped there is still the field's.
    for (QWidget *field : {txtChat->viewport(), static_cast<QWidget *>(txtFileLocation),
                           static_cast<QWidget *>(cmbFileName->lineEdit())})
        field->installEventFilter(this);
}

QSize frmMain::minimumClientSize() const
{
    const int chatBox = txtChat->fontMetrics().lineSpacing() * kMinimumChatLines +
                        2 * int(txtChat->document()->documentMargin()) + 2 * txtChat->frameWidth() +
                        txtChat->horizontalScrollBar()->sizeHint().height();
    return QSize(twips::toPixels(kClientWidth),
                 twips::toPixels(kChatTop) + chatBox + twips::toPixels(kBelowChat));
}

void frmMain::createMenus()
{
    auto makeMenu = [](QMenu *menu, const QString &name) {
        menu->setObjectName(name);
        return menu;
    };
    auto makeAction = [this](QMenu *menu, const QString &name, const QString &caption, bool checkable,
                             bool checked) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        action->setParent(this);
        action->setCheckable(checkable);
        action->setChecked(checked);
        return action;
    };

    auto withShortcut = [](QAction *action, const QKeySequence &keys) {
        action->setShortcut(keys);
        return action;
    };

    mnuFile = makeMenu(menuBar()->addMenu(QStringLiteral("&File")), QStringLiteral("mnuFile"));
    mnuFile_OpenAllLogs =
        withShortcut(makeAction(mnuFile, QStringLiteral("mnuFile_OpenAllLogs"),
                                QStringLiteral("&Open All Logs in Folder..."), false, false),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    mnuFile_RecentLogs =
        makeMenu(mnuFile->addMenu(QStringLiteral("&Recent Logs")), QStringLiteral("mnuFile_RecentLogs"));
    mnuFile->addSeparator();
    mnuFile_Exit = makeAction(mnuFile, QStringLiteral("mnuFile_Exit"), QStringLiteral("E&xit"), false, false);

    mnuEdit = makeMenu(menuBar()->addMenu(QStringLiteral("&Edit")), QStringLiteral("mnuEdit"));
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
    // Copy follows the view's selection; the page items wait for a chat of several pages.
    mnuEdit_Copy->setEnabled(false);
    updatePageActions();

    mnuOptions = makeMenu(menuBar()->addMenu(QStringLiteral("&Options")), QStringLiteral("mnuOptions"));
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
    mnuOptions->addSeparator();
    mnuOptionsFollowLog = withShortcut(makeAction(mnuOptions, QStringLiteral("mnuOptionsFollowLog"),
                                                  QStringLiteral("&Follow Log"), true, false),
                                       QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuOptionsFollowLog->setEnabled(false); // until a log is imported

    mnuHelp = makeMenu(menuBar()->addMenu(QStringLiteral("&Help")), QStringLiteral("mnuHelp"));
    mnuHelp_About =
        makeAction(mnuHelp, QStringLiteral("mnuHelp_About"), QStringLiteral("&About"), false, false);

    connect(mnuFile_Exit, &QAction::triggered, this, &frmMain::mnuFile_Exit_Click);
    connect(mnuFile_OpenAllLogs, &QAction::triggered, this, &frmMain::mnuFile_OpenAllLogs_Click);
    connect(mnuFile_RecentLogs, &QMenu::triggered, this, &frmMain::mnuFile_RecentLogs_Click);
    // Re-read when opened, so that logs imported by another window of the program show too.
    connect(mnuFile_RecentLogs, &QMenu::aboutToShow, this,
            [this] { rebuildRecentLogsMenu(recentlogs::load()); });
    rebuildRecentLogsMenu(recentlogs::load());
    connect(mnuEdit_Copy, &QAction::triggered, this, &frmMain::mnuEdit_Copy_Click);
    connect(mnuEdit_SelectAll, &QAction::triggered, this, &frmMain::mnuEdit_SelectAll_Click);
    connect(mnuEdit_Find, &QAction::triggered, this, &frmMain::mnuEdit_Find_Click);
    connect(mnuEdit_FindNext, &QAction::triggered, this, &frmMain::mnuEdit_FindNext_Click);
    connect(mnuEdit_FindPrevious, &QAction::triggered, this, &frmMain::mnuEdit_FindPrevious_Click);
    connect(mnuEdit_GoToPage, &QAction::triggered, this, &frmMain::mnuEdit_GoToPage_Click);
    connect(mnuEdit_FirstPage, &QAction::triggered, this, &frmMain::mnuEdit_FirstPage_Click);
    connect(mnuEdit_PreviousPage, &QAction::triggered, this, &frmMain::mnuEdit_PreviousPage_Click);
    connect(mnuEdit_NextPage, &QAction::triggered, this, &frmMain::mnuEdit_NextPage_Click);
    connect(mnuEdit_LastPage, &QAction::triggered, this, &frmMain::mnuEdit_LastPage_Click);
    connect(txtChat, &QPlainTextEdit::copyAvailable, mnuEdit_Copy, &QAction::setEnabled);
    connect(mnuHelp_About, &QAction::triggered, this, &frmMain::mnuHelp_About_Click);
    connect(mnuOptionsShowTimestamp, &QAction::triggered, this, &frmMain::mnuOptionsShowTimestamp_Click);
    connect(mnuOptions_PublicChannel_DisplayGameFeedback, &QAction::triggered, this,
            &frmMain::mnuOptions_PublicChannel_DisplayGameFeedback_Click);
    connect(mnuOptions_PublicChannel_DisplaySystem, &QAction::triggered, this,
            &frmMain::mnuOptions_PublicChannel_DisplaySystem_Click);
    connect(mnuOptionsFollowLog, &QAction::triggered, this, &frmMain::mnuOptionsFollowLog_Click);
}

void frmMain::setTabOrder()
{
    // The designed tab indices, lowest first; labels and the hidden file list take no focus.
    QWidget *const order[] = {
        cmdImportFile,          // 0
        lstChatNames,           // 1
        txtChat,                // 2
        txtFileLocation,        // 3
        cmdBrowsPath,           // 5
        cmdSaveLogToFile,       // 8
        cmdCopyToClipboard,     // 9
        lstMergedChatNames,     // 10
        cmdAddMergedChat,       // 12
        cmdClearList,           // 13
        cmdChangeDirToLogs,     // 16
        cmdChangeDirToLogs_Old, // 17
        cmbFileName,            // 18
        cmdPageNext,            // 20
        cmdPagePrevious,        // 21
    };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmMain::showErrorTrap(int number, const QString &description, const QString &where)
{
    showMessageBox(this, description + QStringLiteral(" occured during ") + where, 16,
                   QStringLiteral("Error Number: ") + QString::number(number));
}

void frmMain::Form_Load()
{
    try {
        LastHeight = qRound(twips::fromPixels(height()));
        LastWidth = qRound(twips::fromPixels(width()));
        const QString currentFolder = QDir::currentPath();
        if (currentFolder.isEmpty() || !QDir(currentFolder).exists()) {
            showErrorTrap(76, QStringLiteral("Path not found: the current folder no longer exists"),
                          QStringLiteral("Form_Load"));
            return;
        }
        cdgMainDialogs->initDir = QDir::toNativeSeparators(currentFolder);
        txtFileLocation->setText(cdgMainDialogs->initDir);
        state_.options.DisplayGameFeedback = true;
        state_.options.DisplaySystem = true;
    } catch (const std::bad_alloc &) {
        showErrorTrap(7, QStringLiteral("Out of memory"), QStringLiteral("Form_Load"));
    } catch (const std::exception &e) {
        showErrorTrap(51, QString::fromLocal8Bit(e.what()), QStringLiteral("Form_Load"));
    }
}

void frmMain::mnuFile_Exit_Click()
{
    close();
}

bool frmMain::RefreshFileList(const QString &folder, FileListBox::Error *error)
{
    if (!flstFileName->setPath(folder, error))
        return false;
    cmbFileName->clear();
    cmbFileName->clearEditText();
    cmbFileName->addItems(flstFileName->items());
    if (cmbFileName->count() > 0)
        cmbFileName->setEditText(cmbFileName->itemText(0));
    return true;
}

void frmMain::txtFileLocation_Change()
{
    FileListBox::Error error;
    if (!RefreshFileList(txtFileLocation->text(), &error))
        showErrorTrap(error.number, error.description, QStringLiteral("txtFileLocation_Change"));
}

void frmMain::cmdBrowsPath_Click()
{
    cdgMainDialogs->filter = kBrowseFilter;
    cdgMainDialogs->initDir = txtFileLocation->text();
    cdgMainDialogs->showOpen();
    // A cancelled dialog still hands back the path chosen last (or nothing), as the original does.
    const QString path = cdgMainDialogs->fileName;
    const qsizetype cut = platformpaths::lastSeparator(path);
    const QString folder = path.left(cut + 1);
    const QString fileName = path.mid(cut + 1);
    txtFileLocation->setText(folder);
    // Refreshed again even when the folder box already showed this folder. A folder that vanished
    // meanwhile is reported like the folder box's own errors.
    FileListBox::Error error;
    if (!RefreshFileList(folder, &error))
        showErrorTrap(error.number, error.description, QStringLiteral("cmdBrowsPath_Click"));
    cmbFileName->setEditText(fileName);
}

void frmMain::changeDirToGameFolder(const QString &subFolder)
{
    QString value;
    if (!modRegistryTools::ReadRegistryValue(modRegistryTools::RootKey::LocalMachine, kGameKey, QString(),
                                             value))
        return;
    txtFileLocation->setText(value + subFolder);
}

void frmMain::cmdChangeDirToLogs_Click()
{
    changeDirToGameFolder(QStringLiteral("\\Logs\\"));
}

void frmMain::cmdChangeDirToLogs_Old_Click()
{
    changeDirToGameFolder(QStringLiteral("\\Logs_Old\\"));
}

void frmMain::cmdImportFile_Click()
{
    if (refuseWhileImporting())
        return;
    if (cmbFileName->count() <= 0) {
        showMessageBox(this, QStringLiteral("No valid chat log chosen, unable to load."), 48,
                       QStringLiteral("Error"));
        return;
    }
    if (cmbFileName->currentText().isEmpty())
        cmbFileName->setEditText(cmbFileName->itemText(0));
    const QString folder = txtFileLocation->text();
    importLog(modMain::AddTrailingBackslash(folder) + cmbFileName->currentText());
}

void frmMain::importLog(const QString &path)
{
    const QString localPath = platformpaths::toLocalPath(path);
    const QString name = QFileInfo(localPath).fileName();
    startImport({{localPath},
                 path,
                 QStringLiteral("Importing %1...").arg(name),
                 name + QStringLiteral(" - ") + kProgramName,
                 localPath});
}

void frmMain::mnuFile_OpenAllLogs_Click()
{
    openAllLogs(txtFileLocation->text());
}

void frmMain::openAllLogs(const QString &folder)
{
    if (refuseWhileImporting())
        return;
    FileListBox list;
    list.toLocalPath = platformpaths::toLocalPath;
    FileListBox::Error error;
    if (folder.isEmpty() || !list.setPath(folder, &error)) {
        showMessageBox(
            this,
            QStringLiteral("Cannot read folder %1:\n%2.")
                .arg(folder, folder.isEmpty() ? QStringLiteral("no folder chosen") : error.description),
            48, QStringLiteral("Error"));
        return;
    }
    const QString localFolder = platformpaths::toLocalPath(folder);
    QStringList files;
    QStringList names = list.items();
    std::sort(names.begin(), names.end()); // the names carry date and time: the order of the sessions
    for (const QString &name : std::as_const(names))
        files.append(QDir(localFolder).filePath(name));
    if (files.isEmpty()) {
        showMessageBox(this,
                       QStringLiteral("There are no chat logs (client_chat_log_*.txt) in %1.").arg(folder),
                       48, QStringLiteral("Error"));
        return;
    }
    QString folderName = QDir(localFolder).dirName();
    if (folderName.isEmpty() || folderName == u'.')
        folderName = QDir::toNativeSeparators(QDir(localFolder).absolutePath());
    const QString logs =
        files.size() == 1 ? QStringLiteral("1 log") : QStringLiteral("%1 logs").arg(files.size());
    startImport({files, QString(), QStringLiteral("Importing %1 in %2...").arg(logs, folderName),
                 QStringLiteral("%1 in %2 - %3").arg(logs, folderName, kProgramName), QString()});
}

Q_GLOBAL_STATIC(QThreadPool, windowWorkers)

QThreadPool *frmMain::workerPool()
{
    return windowWorkers();
}

bool frmMain::isBusy() const
{
    return importWatcher_ || textWatcher_;
}

bool frmMain::refuseWhileImporting()
{
    if (!importWatcher_)
        return false;
    if (importProgress_)
        importProgress_->showNow();
    QApplication::beep();
    return true;
}

void frmMain::emitIdleIfDone()
{
    if (!isBusy())
        emit idle();
}

template <typename T> void frmMain::releaseInWorker(std::shared_ptr<T> value)
{
    if (!value)
        return;
    workerPool()->start([doomed = std::move(value)]() mutable { doomed.reset(); });
}

void frmMain::startImport(const ImportRequest &request)
{
    if (refuseWhileImporting())
        return;
    importProgress_ = new WorkProgress(this, kProgramName, request.label);
    const std::shared_ptr<WorkProgress::Counters> counters = importProgress_->counters();
    importWatcher_ = new QFutureWatcher<ImportOutcome>(this);
    connect(importWatcher_, &QFutureWatcherBase::finished, this, [this, request] { finishImport(request); });
    // Cancel takes effect at once for the user: the dialog goes, and whatever the load still brings is
    // dropped when it ends.
    const bool follow = !request.logPath.isEmpty();
    importWatcher_->setFuture(QtConcurrent::run(workerPool(), [files = request.files, follow, counters] {
        modMain::LoadOptions options;
        options.cancel = &counters->cancel;
        options.progress = [&counters](qint64 done, qint64 total) {
            counters->done.store(done, std::memory_order_relaxed);
            counters->total.store(total, std::memory_order_relaxed);
        };
        ImportOutcome outcome;
        // The follower starts where the load stopped, in the very file it read.
        modMain::LogFileRead fileRead;
        if (follow)
            fileRead = [&outcome](QFile &file, const QString &path) { outcome.follower.emplace(path, file); };
        // Only regular files are read: a FIFO in their place would hang the load.
        outcome.result =
            modMain::loadChatLogs(files, options, &outcome.failedPath, localfiles::openRegularFile, fileRead);
        return outcome;
    }));
}

void frmMain::finishImport(const ImportRequest &request)
{
    ImportOutcome outcome = importWatcher_->future().takeResult();
    const bool cancelled = importProgress_->wasCancelled();
    importWatcher_->deleteLater();
    importWatcher_ = nullptr;
    importProgress_->dismiss();

    auto loaded = std::make_shared<modMain::LoadedChatLog>(std::move(outcome.result.log));
    if (cancelled || outcome.result.status != modMain::LoadStatus::Loaded)
        releaseInWorker(std::move(loaded));
    // A single file is named as the user gave it; one of a folder as the file system names it.
    const QString failed =
        request.shownPath.isEmpty() ? QDir::toNativeSeparators(outcome.failedPath) : request.shownPath;
    switch (cancelled ? modMain::LoadStatus::Cancelled : outcome.result.status) {
    case modMain::LoadStatus::FileError:
        showMessageBox(this,
                       QStringLiteral("Cannot read file %1:\n%2.").arg(failed, outcome.result.errorText), 48,
                       QStringLiteral("Error"));
        emitIdleIfDone();
        return;
    case modMain::LoadStatus::NoLines:
        showMessageBox(this, QStringLiteral("Errors found withing chat log, unable to load."), 48,
                       QStringLiteral("Error"));
        emitIdleIfDone();
        return;
    case modMain::LoadStatus::OutOfMemory:
        showMessageBox(this, QStringLiteral("There is not enough memory to load file %1.").arg(failed), 48,
                       QStringLiteral("Error"));
        emitIdleIfDone();
        return;
    case modMain::LoadStatus::Cancelled: // the user chose to stop: nothing to report, nothing changed
        emitIdleIfDone();
        return;
    case modMain::LoadStatus::Loaded:
        break;
    }

    // A chat text still being built is of the log going out. Following goes with the log it was reading.
    dropTextJob(true);
    stopFollowing();
    follower_ = std::move(outcome.follower);
    mnuOptionsFollowLog->setEnabled(follower_.has_value());
    releaseInWorker(std::exchange(state_.log, std::move(loaded)));
    {
        // Refilling the list is not a choice of chat: the view stays until the user picks one.
        const QSignalBlocker blocker(lstChatNames);
        lstChatNames->clear();
        lstChatNames->addItems(state_.log->ChatNames);
    }
    cmdAddMergedChat->setEnabled(true);
    cmdClearList_Click();

    state_.logPath = request.logPath;
    state_.logFiles = request.files;
    setWindowTitle(request.title);
    if (!request.logPath.isEmpty()) {
        const QStringList recent = recentlogs::withLogFirst(recentlogs::load(), request.logPath);
        recentlogs::save(recent);
        rebuildRecentLogsMenu(recent);
    }
    showChatOfNewLog();
    emitIdleIfDone();
}

void frmMain::showChatOfNewLog()
{
    // The view never shows the text of a log gone out (Save and Follow Log would take it for this
    // one's): the one chat on view is read anew from this log, where it is; anything else goes.
    const QStringList onView = SelectedChats;
    SelectedChats.clear();
    showChatText(QString());
    CurrentPage = 0;
    lblPageLabel->setText(QStringLiteral("Page"));
    const int row = onView.size() == 1 ? int(state_.log->ChatNames.indexOf(onView.first())) : -1;
    if (row < 0)
        return;
    {
        const QSignalBlocker blocker(lstChatNames); // a row chosen from code is no click
        lstChatNames->setCurrentRow(row);
    }
    lstChatNames->scrollToItem(lstChatNames->item(row));
    SelectedChats = onView;
    RefreshChatText();
}

void frmMain::openLog(const QString &path)
{
    if (refuseWhileImporting())
        return; // the folder box and the combo stay with the import under way
    const QFileInfo file(path);
    // A folder that is not there would only add the folder box's own error to the import's.
    if (file.absoluteDir().exists()) {
        txtFileLocation->setText(QDir::toNativeSeparators(file.absolutePath()));
        cmbFileName->setEditText(file.fileName());
    }
    importLog(file.absoluteFilePath());
}

QString frmMain::droppedLogPath(const QMimeData *mimeData)
{
    if (!mimeData || !mimeData->hasUrls())
        return {};
    const QList<QUrl> urls = mimeData->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

bool frmMain::acceptLogDrag(QDropEvent *event)
{
    if (droppedLogPath(event->mimeData()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->acceptProposedAction();
    return true;
}

void frmMain::dragEnterEvent(QDragEnterEvent *event)
{
    acceptLogDrag(event);
}

void frmMain::dragMoveEvent(QDragMoveEvent *event)
{
    acceptLogDrag(event);
}

void frmMain::dropEvent(QDropEvent *event)
{
    if (!acceptLogDrag(event))
        return;
    // Imported once the drop has returned, so that the file manager is not kept waiting.
    const QString path = droppedLogPath(event->mimeData());
    QTimer::singleShot(0, this, [this, path] { openLog(path); });
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (!drop->mimeData()->hasUrls())
            return QMainWindow::eventFilter(watched, event); // text for the field
        if (event->type() == QEvent::Drop)
            dropEvent(drop);
        else
            acceptLogDrag(drop);
        return true;
    }
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

void frmMain::rebuildRecentLogsMenu(const QStringList &logs)
{
    // Deleted later: the menu may be rebuilt from the handler of one of its own items.
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

void frmMain::mnuFile_RecentLogs_Click(QAction *action)
{
    if (refuseWhileImporting())
        return;
    const QString path = action->data().toString();
    if (!QFileInfo::exists(path)) {
        const QStringList recent = recentlogs::withoutLog(recentlogs::load(), path);
        recentlogs::save(recent);
        rebuildRecentLogsMenu(recent);
        showMessageBox(this,
                       QStringLiteral("The log %1 no longer exists. It has been removed from Recent Logs.")
                           .arg(QDir::toNativeSeparators(path)),
                       48, kProgramName);
        return;
    }
    openLog(path);
}

void frmMain::cmdClearList_Click()
{
    {
        const QSignalBlocker blocker(lstMergedChatNames);
        lstMergedChatNames->clear();
    }
    state_.MergedChats.reset();
}

void frmMain::lstChatNames_Click()
{
    const QList<QListWidgetItem *> selected = lstChatNames->selectedItems();
    if (selected.isEmpty())
        return;
    SelectedChats = {selected.first()->text()};
    RefreshChatText();
}

void frmMain::lstMergedChatNames_Click()
{
    const QList<QListWidgetItem *> selected = lstMergedChatNames->selectedItems();
    if (selected.isEmpty())
        return;
    const QStringList *names = state_.MergedChats.entry(lstMergedChatNames->row(selected.first()));
    if (!names)
        return; // no merged chat behind this row
    SelectedChats = *names;
    RefreshChatText();
}

void frmMain::RefreshChatText()
{
    const bool replaced = dropTextJob(false); // a newer choice replaces the text still being built
    const std::shared_ptr<const modMain::LoadedChatLog> log = state_.log;
    if (log->ChatLog.size() <= kInstantTextRecords) {
        showChatText(modMain::BuildChatText(log->ChatLog, SelectedChats, state_.options));
        if (replaced)
            emitIdleIfDone();
        return;
    }
    const QString label = SelectedChats.size() == 1
                              ? QStringLiteral("Reading the chat %1...").arg(SelectedChats.first())
                              : QStringLiteral("Reading the merged chats...");
    textProgress_ = new WorkProgress(this, kProgramName, label);
    connect(textProgress_, &WorkProgress::cancelled, this, [this] {
        dropTextJob(true);
        emitIdleIfDone();
    });
    textWatcher_ = new QFutureWatcher<QString>(this);
    connect(textWatcher_, &QFutureWatcherBase::finished, this, [this] {
        QString text = textWatcher_->future().takeResult();
        textWatcher_->deleteLater();
        textWatcher_ = nullptr;
        textProgress_->dismiss();
        showChatText(std::move(text));
        emitIdleIfDone();
    });
    textWatcher_->setFuture(
        QtConcurrent::run(workerPool(), [log, chats = SelectedChats, options = state_.options] {
            return modMain::BuildChatText(log->ChatLog, chats, options);
        }));
}

bool frmMain::dropTextJob(bool restore)
{
    if (!textWatcher_)
        return false;
    // The work itself cannot be stopped; it owns what it reads, and its result is dropped with it.
    textWatcher_->disconnect(this);
    textWatcher_->deleteLater();
    textWatcher_ = nullptr;
    if (textProgress_)
        textProgress_->dismiss();
    if (restore) {
        SelectedChats = viewChats_;
        state_.options = viewOptions_;
        mnuOptionsShowTimestamp->setChecked(viewOptions_.ShowTimestamp);
        mnuOptions_PublicChannel_DisplayGameFeedback->setChecked(viewOptions_.DisplayGameFeedback);
        mnuOptions_PublicChannel_DisplaySystem->setChecked(viewOptions_.DisplaySystem);
    }
    return true;
}

void frmMain::showChatText(QString text)
{
    viewChats_ = SelectedChats;
    viewOptions_ = state_.options;
    txtChat->clear();
    CurrentPage = 1;
    ChatText = std::move(text);
    PageCount = int(modMain::PageCount(ChatText));
    if (PageCount <= 1) {
        // One page needs no paging; nothing to show (every line filtered out) does not either.
        cmdPageNext->setVisible(false);
        cmdPagePrevious->setVisible(false);
        lblPageLabel->setVisible(false);
    } else {
        cmdPageNext->setVisible(true);
        cmdPagePrevious->setVisible(true);
        lblPageLabel->setVisible(true);
        cmdPagePrevious->setEnabled(false);
        cmdPageNext->setEnabled(true);
    }
    RefreshChatPage();
    updatePageActions();
}

void frmMain::RefreshChatPage()
{
    lblPageLabel->setText(QStringLiteral("Page %1 of %2").arg(CurrentPage).arg(PageCount));
    const modMain::PageSpan page = modMain::PageRange(ChatText, CurrentPage);
    txtChat->setPlainText(ChatText.mid(page.start, page.length));
}

void frmMain::cmdPageNext_Click()
{
    if (CurrentPage != PageCount) {
        ++CurrentPage;
        RefreshChatPage();
    }
    if (CurrentPage == PageCount)
        cmdPageNext->setEnabled(false);
    if (CurrentPage > 1)
        cmdPagePrevious->setEnabled(true);
    updatePageActions();
}

void frmMain::cmdPagePrevious_Click()
{
    if (CurrentPage != 1) {
        --CurrentPage;
        RefreshChatPage();
    }
    if (CurrentPage == 1)
        cmdPagePrevious->setEnabled(false);
    if (CurrentPage < PageCount)
        cmdPageNext->setEnabled(true);
    updatePageActions();
}

void frmMain::showPage(int page)
{
    CurrentPage = page;
    RefreshChatPage();
    updatePagingControls();
}

void frmMain::updatePagingControls()
{
    const bool paging = PageCount > 1;
    cmdPageNext->setVisible(paging);
    cmdPagePrevious->setVisible(paging);
    lblPageLabel->setVisible(paging);
    lblPageLabel->setText(QStringLiteral("Page %1 of %2").arg(CurrentPage).arg(PageCount));
    if (paging) {
        cmdPagePrevious->setEnabled(CurrentPage > 1);
        cmdPageNext->setEnabled(CurrentPage < PageCount);
    }
    updatePageActions();
}

void frmMain::updatePageActions()
{
    const bool paging = PageCount > 1;
    mnuEdit_GoToPage->setEnabled(paging);
    mnuEdit_FirstPage->setEnabled(paging && cmdPagePrevious->isEnabled());
    mnuEdit_PreviousPage->setEnabled(paging && cmdPagePrevious->isEnabled());
    mnuEdit_NextPage->setEnabled(paging && cmdPageNext->isEnabled());
    mnuEdit_LastPage->setEnabled(paging && cmdPageNext->isEnabled());
}

void frmMain::mnuEdit_Copy_Click()
{
    txtChat->copy();
}

void frmMain::mnuEdit_SelectAll_Click()
{
    txtChat->selectAll();
    txtChat->setFocus(Qt::ShortcutFocusReason);
}

void frmMain::mnuEdit_Find_Click()
{
    if (!findBox_) {
        findBox_ = new frmFind(this);
        connect(findBox_, &frmFind::findNextRequested, this,
                [this] { findInChat(findBox_->findText(), findBox_->matchCase(), findBox_->direction()); });
        // F3 and Shift+F3 work in the box as well.
        findBox_->addAction(mnuEdit_FindNext);
        findBox_->addAction(mnuEdit_FindPrevious);
    }
    // A selection within one line is what the user most likely wants to find.
    const QString selected = txtChat->textCursor().selectedText();
    findBox_->showFor(selected.contains(QChar::ParagraphSeparator) ? QString() : selected);
}

void frmMain::findAgain(modMain::SearchDirection direction)
{
    if (lastFindText_.isEmpty()) {
        mnuEdit_Find_Click();
        return;
    }
    findInChat(lastFindText_, lastMatchCase_, direction);
}

void frmMain::mnuEdit_FindNext_Click()
{
    findAgain(modMain::SearchDirection::Down);
}

void frmMain::mnuEdit_FindPrevious_Click()
{
    findAgain(modMain::SearchDirection::Up);
}

void frmMain::findInChat(const QString &text, bool matchCase, modMain::SearchDirection direction)
{
    if (text.isEmpty())
        return;
    lastFindText_ = text;
    lastMatchCase_ = matchCase;
    const bool down = direction == modMain::SearchDirection::Down;

    // From the view's cursor: after the selection searching down, before it searching up. A page the
    // user has typed into no longer matches the text, so the search then takes the whole page.
    const modMain::PageSpan span = modMain::PageRange(ChatText, CurrentPage);
    const bool pageAsBuilt = PageCount > 0 && !txtChat->document()->isModified();
    qsizetype from = down ? span.start : span.start + span.length;
    if (pageAsBuilt) {
        const QTextCursor cursor = txtChat->textCursor();
        const QStringView page = QStringView(ChatText).mid(span.start, span.length);
        from = span.start + modMain::pageOffset(page, down ? cursor.selectionEnd() : cursor.selectionStart());
    }

    statusBar()->clearMessage();
    const modMain::ChatMatch match = modMain::findInChat(ChatText, text, from, direction,
                                                         matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive,
                                                         findBox_ && findBox_->wrapAround());
    if (match.position < 0) {
        QWidget *owner = findBox_ && findBox_->isVisible() ? static_cast<QWidget *>(findBox_) : this;
        QMessageBox box(QMessageBox::Information, kProgramName,
                        QStringLiteral("Cannot find \"%1\"").arg(text), QMessageBox::Ok, owner);
        execWithRoomForTitle(box);
        return;
    }
    if (match.wrapped)
        statusBar()->showMessage(
            down ? QStringLiteral("Passed the end of the chat; continued from the top")
                 : QStringLiteral("Passed the start of the chat; continued from the bottom"),
            kStatusMessageMs);
    if (match.page != CurrentPage || !pageAsBuilt)
        showPage(int(match.page));

    const modMain::PageSpan shown = modMain::PageRange(ChatText, CurrentPage);
    const QStringView page = QStringView(ChatText).mid(shown.start, shown.length);
    const int last = txtChat->document()->characterCount() - 1;
    QTextCursor cursor(txtChat->document());
    cursor.setPosition(std::min<int>(last, int(modMain::viewPosition(page, match.position - shown.start))));
    cursor.setPosition(
        std::min<int>(last, int(modMain::viewPosition(page, match.position + text.size() - shown.start))),
        QTextCursor::KeepAnchor);
    txtChat->setTextCursor(cursor); // and scrolls it into sight
    keepFindBoxOffMatch();
}

void frmMain::keepFindBoxOffMatch()
{
    if (!findBox_ || !findBox_->isVisible())
        return;
    // The match on screen: from the start of the selection to its end, the height of its line.
    QTextCursor edge = txtChat->textCursor();
    edge.setPosition(edge.selectionStart());
    QRect match = txtChat->cursorRect(edge);
    edge.setPosition(txtChat->textCursor().selectionEnd());
    match = match.united(txtChat->cursorRect(edge));
    match.moveTopLeft(txtChat->viewport()->mapToGlobal(match.topLeft()));
    const QRect box = findBox_->frameGeometry();
    if (!box.intersects(match))
        return;
    // Below the match when the screen has room there, else above it.
    const QRect screen = findBox_->screen()->availableGeometry();
    const int gap = match.height();
    QPoint to(box.x(), match.bottom() + gap);
    if (to.y() + box.height() > screen.bottom())
        to.setY(match.top() - gap - box.height());
    findBox_->move(to); // a window is placed by its frame
}

void frmMain::mnuEdit_GoToPage_Click()
{
    if (PageCount <= 1)
        return;
    frmGoToPage box(CurrentPage, PageCount, this);
    if (box.exec() == QDialog::Accepted && box.page() != CurrentPage)
        showPage(box.page());
}

void frmMain::mnuEdit_FirstPage_Click()
{
    if (PageCount > 1 && CurrentPage != 1)
        showPage(1);
}

void frmMain::mnuEdit_PreviousPage_Click()
{
    if (PageCount > 1 && cmdPagePrevious->isEnabled())
        cmdPagePrevious_Click();
}

void frmMain::mnuEdit_NextPage_Click()
{
    if (PageCount > 1 && cmdPageNext->isEnabled())
        cmdPageNext_Click();
}

void frmMain::mnuEdit_LastPage_Click()
{
    if (PageCount > 1 && CurrentPage != PageCount)
        showPage(PageCount);
}

void frmMain::mnuOptionsShowTimestamp_Click()
{
    state_.options.ShowTimestamp = mnuOptionsShowTimestamp->isChecked();
    RefreshChatText();
}

void frmMain::mnuOptions_PublicChannel_DisplayGameFeedback_Click()
{
    state_.options.DisplayGameFeedback = mnuOptions_PublicChannel_DisplayGameFeedback->isChecked();
    RefreshChatText();
}

void frmMain::mnuOptions_PublicChannel_DisplaySystem_Click()
{
    state_.options.DisplaySystem = mnuOptions_PublicChannel_DisplaySystem->isChecked();
    RefreshChatText();
}

void frmMain::cmdAddMergedChat_Click()
{
    {
        frmMergeChats dialog(state_.log->ChatNames, state_.MergedChats, this);
        dialog.exec();
    }
    // Rebuilt whatever the dialog's outcome: row k always shows merged chat k.
    const QSignalBlocker blocker(lstMergedChatNames);
    lstMergedChatNames->clear();
    lstMergedChatNames->addItems(state_.MergedChats.labels());
}

QString frmMain::chatViewText(const QString &lineEnd) const
{
    QString text = txtChat->toPlainText();
    if (lineEnd != u"\n")
        text.replace(u'\n', lineEnd);
    return text;
}

void frmMain::cmdCopyToClipboard_Click()
{
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
#ifdef Q_OS_WIN
    clipboard->setText(chatViewText(QStringLiteral("\r\n")));
#else
    clipboard->setText(chatViewText(QStringLiteral("\n"))); // plain text in the system's own line ends
#endif
}

void frmMain::cmdSaveLogToFile_Click()
{
    cdgMainDialogs->filter = QStringLiteral("Text File (.txt)|*.txt");
    if (!cdgMainDialogs->showSave())
        return;
    const QString path = cdgMainDialogs->fileName;
    const bool loadedLog = std::any_of(state_.logFiles.cbegin(), state_.logFiles.cend(),
                                       [&](const QString &log) { return localfiles::sameFile(path, log); });
    if (loadedLog) {
        QMessageBox box(
            QMessageBox::Warning, QStringLiteral("Save Log to File"),
            QStringLiteral("%1 is the chat log that is loaded.\nReplace it with the text on view?").arg(path),
            QMessageBox::Yes | QMessageBox::No, this);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            return;
    }
    QString error;
    // A FIFO that no program reads would hang the window: that is a failure here, not a wait.
    if (!modMain::writeTextFile(path, chatViewText(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), &error,
                                false))
        showMessageBox(this, QStringLiteral("Cannot write file %1:\n%2.").arg(path, error), 48,
                       QStringLiteral("Error"));
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (layoutReady_)
        Form_Resize();
}

void frmMain::Form_Resize()
{
    const int height = qRound(twips::fromPixels(this->height()));
    const int width = qRound(twips::fromPixels(this->width()));
    const double dH = double(height) - LastHeight;
    const double dW = double(width) - LastWidth;
    LastHeight = height;
    LastWidth = width;
    chatHeight_ += dH;
    chatWidth_ += dW;

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

void frmMain::mnuHelp_About_Click()
{
    // Owned by the main window so that it stays out of the task bar and centred on its owner's screen.
    frmAbout box(this);
    box.exec();
}

void frmMain::mnuOptionsFollowLog_Click()
{
    if (mnuOptionsFollowLog->isChecked())
        startFollowing();
    else
        stopFollowing();
}

void frmMain::startFollowing()
{
    if (!follower_) {
        mnuOptionsFollowLog->setChecked(false);
        return;
    }
    mnuOptionsFollowLog->setChecked(true);
    // Change notices on a growing file do not come on every file system: the timer reads anyway.
    followWatcher_ = new QFileSystemWatcher(QStringList{follower_->path()}, this);
    connect(followWatcher_, &QFileSystemWatcher::fileChanged, this, &frmMain::followLog);
    followTimer_ = new QTimer(this);
    followTimer_->setInterval(500);
    connect(followTimer_, &QTimer::timeout, this, &frmMain::followLog);
    followTimer_->start();
    updateFollowTitle();
    followLog(); // what was written since the import shows at once
}

void frmMain::stopFollowing()
{
    const bool wasFollowing = followTimer_ != nullptr;
    delete followWatcher_;
    followWatcher_ = nullptr;
    delete followTimer_;
    followTimer_ = nullptr;
    mnuOptionsFollowLog->setChecked(false);
    if (wasFollowing)
        updateFollowTitle();
}

void frmMain::updateFollowTitle()
{
    const QString name = QFileInfo(state_.logPath).fileName();
    setWindowTitle(name + (followTimer_ ? QStringLiteral(" (following)") : QString()) +
                   QStringLiteral(" - ") + kProgramName);
}

void frmMain::followLog()
{
    // A dialog on top may be showing the chats or the pages as they were: it is read once it closes.
    if (!followTimer_ || !follower_ || QApplication::activeModalWidget())
        return;
    // The log changes only while no worker reads it: not during an import or a chat text, nor while a
    // worker still builds a text whose result was dropped. The read waits for a later call; what is
    // written meanwhile stays in the file.
    if (isBusy() || !logHeldAlone())
        return;
    modMain::FollowRead read = follower_->readAppended();
    if (read.status != modMain::FollowStatus::Read) {
        abandonFollowing(read);
        return;
    }
    if (!read.records.isEmpty() || read.dropsLast)
        addFollowedRecords(read);
    if (read.more)
        QTimer::singleShot(0, this, &frmMain::followLog);
}

bool frmMain::logHeldAlone() const
{
    if (state_.log.use_count() != 1)
        return false;
    // The count fell to 1 when the last worker let go of the log, which it did after its last read;
    // this fence orders those reads before the changes that follow.
    std::atomic_thread_fence(std::memory_order_acquire);
    return true;
}

void frmMain::abandonFollowing(const modMain::FollowRead &read)
{
    // Stopped before the box shows, so that no read runs while it is up.
    stopFollowing();
    const QString path = QDir::toNativeSeparators(follower_->path());
    follower_.reset();
    mnuOptionsFollowLog->setEnabled(false);
    QString why;
    switch (read.status) {
    case modMain::FollowStatus::Shrunk:
        why = QStringLiteral("The log %1 has become shorter.").arg(path);
        break;
    case modMain::FollowStatus::Rewritten:
        why = QStringLiteral("The log %1 has been written anew.").arg(path);
        break;
    case modMain::FollowStatus::Replaced:
        why = QStringLiteral("The log %1 has been replaced by another file.").arg(path);
        break;
    case modMain::FollowStatus::Removed:
        why = QStringLiteral("The log %1 no longer exists.").arg(path);
        break;
    case modMain::FollowStatus::ReadError:
    case modMain::FollowStatus::Read:
        why = QStringLiteral("Cannot read file %1:\n%2.").arg(path, read.errorText);
        break;
    }
    showMessageBox(this,
                   why + QStringLiteral("\nFollowing it has stopped; the log read so far stays loaded."), 48,
                   kProgramName);
}

void frmMain::addFollowedRecords(const modMain::FollowRead &read)
{
    modMain::LoadedChatLog &log = *state_.log;
    QString dropped; // the lines on view of the record dropped
    if (read.dropsLast && !log.ChatLog.isEmpty() && !SelectedChats.isEmpty())
        dropped = modMain::BuildChatText(QList<modMain::ChatLine>{log.ChatLog.last()}, SelectedChats,
                                         state_.options);
    const modMain::FollowedNames names = modMain::appendFollowed(log, read);
    {
        // Rows go and come only at the end of the list: the selection and the scroll position stay.
        const QSignalBlocker blocker(lstChatNames);
        for (int row = lstChatNames->count() - 1; !names.dropped.isNull() && row >= 0; --row) {
            if (lstChatNames->item(row)->text() == names.dropped) {
                delete lstChatNames->takeItem(row);
                break;
            }
        }
        lstChatNames->addItems(names.added);
    }

    if (SelectedChats.isEmpty())
        return;
    const QString added = modMain::BuildChatText(read.records, SelectedChats, state_.options);
    if (!dropped.isEmpty() && ChatText.endsWith(dropped)) {
        // Rare: the import read a last line before its end was written, and the line went on. Its lines
        // end the text; they go, and the page is shown anew.
        const bool atEnd = viewAtEnd();
        ChatText.chop(dropped.size());
        ChatText += added;
        PageCount = int(modMain::PageCount(ChatText));
        showPageKeepingScroll(atEnd ? PageCount : std::min(CurrentPage, PageCount), atEnd);
        return;
    }
    if (!added.isEmpty())
        extendChatText(added);
}

bool frmMain::viewAtEnd() const
{
    if (CurrentPage < PageCount)
        return false;
    const QScrollBar *bar = txtChat->verticalScrollBar();
    if (bar->value() >= bar->maximum())
        return true;
    // Moving the cursor to the end scrolls only until the last line is in sight, which may be short of
    // the scroll bar's end.
    const QTextCursor bottom = txtChat->cursorForPosition(QPoint(0, txtChat->viewport()->height() - 1));
    return bottom.blockNumber() >= txtChat->document()->blockCount() - 1;
}

void frmMain::extendChatText(const QString &added)
{
    const bool atEnd = viewAtEnd();
    const modMain::PageSpan before = modMain::PageRange(ChatText, CurrentPage);
    ChatText += added;
    PageCount = int(modMain::PageCount(ChatText));
    const int page = atEnd ? PageCount : CurrentPage;
    const modMain::PageSpan after = modMain::PageRange(ChatText, page);
    const qsizetype beforeEnd = before.start + before.length, afterEnd = after.start + after.length;
    if (page != CurrentPage || after.start != before.start || afterEnd < beforeEnd) {
        // Another page, or the page's last cut moved back: the page is shown anew.
        showPageKeepingScroll(page, atEnd);
        return;
    }
    // Only the last page grows, and only at its end: the new text goes after what is shown, and
    // whatever the user typed into the page stays.
    if (afterEnd > beforeEnd) {
        QTextDocument *document = txtChat->document();
        const bool modified = document->isModified();
        document->setUndoRedoEnabled(false); // the lines read are no edit of the user's to undo
        QTextCursor end(document);
        end.movePosition(QTextCursor::End);
        end.insertText(ChatText.mid(beforeEnd, afterEnd - beforeEnd));
        document->setUndoRedoEnabled(true);
        document->setModified(modified);
    }
    if (atEnd)
        txtChat->verticalScrollBar()->setValue(txtChat->verticalScrollBar()->maximum());
    updatePagingControls();
}

void frmMain::showPageKeepingScroll(int page, bool atEnd)
{
    QScrollBar *vertical = txtChat->verticalScrollBar();
    QScrollBar *horizontal = txtChat->horizontalScrollBar();
    const int top = vertical->value(), left = horizontal->value();
    const bool samePage = page == CurrentPage;
    CurrentPage = std::max(page, 1);
    RefreshChatPage();
    horizontal->setValue(left);
    if (atEnd)
        vertical->setValue(vertical->maximum());
    else if (samePage)
        vertical->setValue(top);
    updatePagingControls();
}
