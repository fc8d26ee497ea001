#include "frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

#include <exception>
#include <new>

#include "ChatExporter.h"
#include "ChatFinder.h"
#include "ChatListFilter.h"
#include "ChatPageView.h"
#include "CommonDialog.h"
#include "FolderBoxCheck.h"
#include "FollowSession.h"
#include "ListedImport.h"
#include "LogChoice.h"
#include "LogDrops.h"
#include "LogImporter.h"
#include "LogStatus.h"
#include "MessageBoxes.h"
#include "PlatformPaths.h"
#include "SearchDock.h"
#include "Twips.h"
#include "WindowSettings.h"

// The main window's setting up: its rooms made and joined, the stored setup read back, the start folder.

namespace {

// Whether a folder, as the folder box shows it, exists.
bool namesFolder(const QString &folder)
{
    return QFileInfo(platformpaths::toLocalPath(folder)).isDir();
}

} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(kProgramName);
    setupUi(this);
    pages_ = new ChatPageView({txtChat, cmdPagePrevious, cmdPageNext, lblPageLabel, mnuEdit_GoToPage,
                               mnuEdit_FirstPage, mnuEdit_PreviousPage, mnuEdit_NextPage, mnuEdit_LastPage},
                              this);
    importer_ = new LogImporter(this);
    // The log changes only while no worker reads it and no dialog on top may show the chats or pages as
    // they were; a read that must wait comes later, and what is written meanwhile stays in the file.
    follow_ = new FollowSession(
        [this] { return !QApplication::activeModalWidget() && !isBusy() && state_.logHeldAlone(); }, this);
    finder_ = new ChatFinder(this, pages_, {mnuEdit_FindNext, mnuEdit_FindPrevious});
    search_ = new SearchDock(
        this, pages_, lstChatNames,
        {mnuOptions_PublicChannel_DisplayGameFeedback, mnuOptions_PublicChannel_DisplaySystem});
    search_->addToMenu(mnuEdit, mnuEdit_GoToPage);
    chatList_ = new ChatListFilter({lstChatNames, txtChatFilter, mnuOptions_SortChats_Items}, state_, this);
    exporter_ = new ChatExporter(this);
    folderCheck_ = new FolderBoxCheck(txtFileLocation, namesFolder);
    choice_ = new LogChoice(this, {txtFileLocation, cmbFileName, flstFileName, cdgMainDialogs}, folderCheck_);
    status_ = std::make_unique<LogStatus>(lblLogStatus);
    connectRooms();
    fillRecentLogs(LogChoice::recentLogs());
    Form_Load();
    layoutReady_ = true;
    restoreSetup();
}

void frmMain::restoreSetup()
{
    auto current = [this] {
        return WindowSettings::Setup{state_.options, chatList_->order(), txtFileLocation->text()};
    };
    new WindowSettings(this, current);
    const WindowSettings::Setup setup = WindowSettings::stored(current(), namesFolder);
    setOptions(setup.options);
    chatList_->setOrder(setup.order);
    txtFileLocation->setText(setup.folder);
}

void frmMain::connectRooms()
{
    // A log file dropped on a text field opens like one dropped anywhere else on the window.
    auto *drops = new LogDrops(this, {txtChat->viewport(), txtFileLocation, cmbFileName->lineEdit()});
    connect(drops, &LogDrops::logDropped, this, &frmMain::openLog);
    // Re-read when opened, so that logs imported by another window of the program show too.
    connect(mnuFile_RecentLogs, &QMenu::aboutToShow, this,
            [this] { fillRecentLogs(LogChoice::recentLogs()); });
    connect(choice_, &LogChoice::recentLogsChanged, this,
            [this](const QStringList &logs) { fillRecentLogs(logs); });
    connect(choice_, &LogChoice::errorTrapped, this, &frmMain::showErrorTrap);
    connect(choice_, &LogChoice::openWanted, this, &frmMain::openLog);
    connect(importer_, &LogImporter::finished, this, &frmMain::finishImport);
    connect(chatList_, &ChatListFilter::listed, this, &frmMain::takeListedLog);
    connect(follow_, &FollowSession::followingChanged, this, &frmMain::followingChanged);
    connect(follow_, &FollowSession::recordsRead, this, &frmMain::addFollowedRecords);
    connect(importer_, &LogImporter::started, search_, &SearchDock::stopSearch);
    connect(follow_, &FollowSession::recordsRead, search_, &SearchDock::recordsFollowed); // after the log's
    connect(follow_, &FollowSession::abandoned, this, [this](const QString &why) {
        mnuOptionsFollowLog->setEnabled(false);
        showMessageBox(this, why, BoxStyle::Warning, kProgramName);
    });
    connect(finder_, &ChatFinder::pageWanted, this, &frmMain::showPage);
    connect(search_, &SearchDock::pageWanted, this, &frmMain::showPage);
    connect(folderCheck_, &FolderBoxCheck::checkWanted, this, &frmMain::txtFileLocation_Change);
    connect(exporter_, &ChatExporter::finished, this, &frmMain::emitIdleIfDone);
}

void frmMain::showErrorTrap(int number, const QString &description, const QString &where)
{
    showMessageBox(this, description + QStringLiteral(" occured during ") + where, BoxStyle::Critical,
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
