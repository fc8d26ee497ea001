#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <exception>
#include <new>

#include "AppIcon.h"
#include "CommonDialog.h"
#include "DesignedControls.h"
#include "FileListBox.h"
#include "PlatformPaths.h"
#include "TextCodec.h"
#include "Twips.h"
#include "frmAbout.h"
#include "frmMergeChats.h"
#include "modRegistryTools.h"

namespace {

// Designed places (twips) of the chat view and of the controls that follow its bottom edge.
constexpr double kChatLeft = 120, kChatTop = 2880, kChatWidth = 9135, kChatHeight = 3615;
constexpr double kPageLabelGap = 120;

const QString kGameKey = QStringLiteral("SOFTWARE\\KestrelGames\\Evenfall");
const QString kBrowseFilter =
    QStringLiteral("Evenfall Chat Logs (client_chat_log_*.txt)|client_chat_log_*.txt|All Files (*.*)|*.*");

// Message box styles of the original program: 16 = critical, 48 = warning; always one OK button.
void showMessageBox(QWidget *parent, const QString &text, int style, const QString &title)
{
    QMessageBox box(style == 16 ? QMessageBox::Critical : QMessageBox::Warning, title, text, QMessageBox::Ok,
                    parent);
    box.exec();
}

} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Evenfall Chat Log Reader"));
    setFont(twips::designFont());
    setWindowIcon(appIcon());
    createControls();
    createMenus();
    setTabOrder();
    resize(twips::toPixels(9420), twips::toPixels(7395) + menuBar()->sizeHint().height());
    cmdImportFile->setFocus();
    chatHeight_ = kChatHeight;
    chatWidth_ = kChatWidth;
    Form_Load();
    layoutReady_ = true;
}

frmMain::~frmMain() = default;

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
    lstChatNames = new QListWidget(client);
    lstChatNames->setObjectName(QStringLiteral("lstChatNames"));
    lstChatNames->setSelectionMode(QAbstractItemView::SingleSelection);
    twips::setGeometry(lstChatNames, 240, 1440, 2655, 1035);

    Label4 = makeHeaderLabel(client, QStringLiteral("Label4"), QStringLiteral("List of Merged Chats:"));
    twips::setGeometry(Label4, 3000, 1200, 3735, 255);
    lstMergedChatNames = new QListWidget(client);
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

    // A list's handler runs when its selection changes, by mouse or keyboard; merely giving the list
    // the focus (which makes a row current without selecting it) does not run it.
    connect(lstChatNames, &QListWidget::itemSelectionChanged, this, &frmMain::lstChatNames_Click);
    connect(lstMergedChatNames, &QListWidget::itemSelectionChanged, this, &frmMain::lstMergedChatNames_Click);
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

    mnuFile = makeMenu(menuBar()->addMenu(QStringLiteral("&File")), QStringLiteral("mnuFile"));
    mnuFile_Exit = makeAction(mnuFile, QStringLiteral("mnuFile_Exit"), QStringLiteral("E&xit"), false, false);

    // The Edit menu has no items and no action; it is shown greyed.
    mnuEdit = makeMenu(menuBar()->addMenu(QStringLiteral("&Edit")), QStringLiteral("mnuEdit"));
    mnuEdit->menuAction()->setEnabled(false);

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

    mnuHelp = makeMenu(menuBar()->addMenu(QStringLiteral("&Help")), QStringLiteral("mnuHelp"));
    mnuHelp_About =
        makeAction(mnuHelp, QStringLiteral("mnuHelp_About"), QStringLiteral("&About"), false, false);

    connect(mnuFile_Exit, &QAction::triggered, this, &frmMain::mnuFile_Exit_Click);
    connect(mnuHelp_About, &QAction::triggered, this, &frmMain::mnuHelp_About_Click);
    connect(mnuOptionsShowTimestamp, &QAction::triggered, this, &frmMain::mnuOptionsShowTimestamp_Click);
    connect(mnuOptions_PublicChannel_DisplayGameFeedback, &QAction::triggered, this,
            &frmMain::mnuOptions_PublicChannel_DisplayGameFeedback_Click);
    connect(mnuOptions_PublicChannel_DisplaySystem, &QAction::triggered, this,
            &frmMain::mnuOptions_PublicChannel_DisplaySystem_Click);
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
    if (cmbFileName->count() <= 0) {
        showMessageBox(this, QStringLiteral("No valid chat log chosen, unable to load."), 48,
                       QStringLiteral("Error"));
        return;
    }
    if (cmbFileName->currentText().isEmpty())
        cmbFileName->setEditText(cmbFileName->itemText(0));
    const QString folder = txtFileLocation->text();
    const QString path = modMain::AddTrailingBackslash(folder) + cmbFileName->currentText();

    QApplication::setOverrideCursor(Qt::WaitCursor);
    modMain::LoadResult result = modMain::LoadChatLog(platformpaths::toLocalPath(path));
    QApplication::restoreOverrideCursor();

    switch (result.status) {
    case modMain::LoadStatus::FileError:
        showMessageBox(this, QStringLiteral("Cannot read file %1:\n%2.").arg(path, result.errorText), 48,
                       QStringLiteral("Error"));
        return;
    case modMain::LoadStatus::NoLines:
        showMessageBox(this, QStringLiteral("Errors found withing chat log, unable to load."), 48,
                       QStringLiteral("Error"));
        return;
    case modMain::LoadStatus::OutOfMemory:
        showMessageBox(this, QStringLiteral("There is not enough memory to load file %1.").arg(path), 48,
                       QStringLiteral("Error"));
        return;
    case modMain::LoadStatus::Loaded:
        break;
    }
    state_.ChatLog = std::move(result.log.ChatLog);
    state_.ChatNames = std::move(result.log.ChatNames);
    {
        // Refilling the list is not a choice of chat: the view stays until the user picks one.
        const QSignalBlocker blocker(lstChatNames);
        lstChatNames->clear();
        lstChatNames->addItems(state_.ChatNames);
    }
    cmdAddMergedChat->setEnabled(true);
    cmdClearList_Click();
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
    txtChat->clear();
    CurrentPage = 1;
    ChatText = modMain::BuildChatText(state_.ChatLog, SelectedChats, state_.options);
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
        frmMergeChats dialog(state_.ChatNames, state_.MergedChats, this);
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
    QString error;
    if (!modMain::writeTextFile(path, chatViewText(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), &error))
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
