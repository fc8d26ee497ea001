#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>

#include "ChatExporter.h"
#include "ChatFinder.h"
#include "ChatListBox.h"
#include "ChatListFilter.h"
#include "ChatPageView.h"
#include "ChatTextJob.h"
#include "CommonDialog.h"
#include "FolderBoxCheck.h"
#include "FollowSession.h"
#include "FormTeardown.h"
#include "ListedImport.h"
#include "LocalFiles.h"
#include "LogChoice.h"
#include "LogImporter.h"
#include "LogStatus.h"
#include "MessageBoxes.h"
#include "SearchDock.h"
#include "TextCodec.h"
#include "Twips.h"
#include "WindowWorkers.h"
#include "frmAbout.h"
#include "frmGoToPage.h"
#include "frmMergeChats.h"

namespace {

// Chat text is built on the GUI thread, at once and without a progress dialog, for a log of at most
// this many records: a few milliseconds of work. Larger logs are read through on a worker thread.
constexpr qsizetype kInstantTextRecords = 50000;

} // namespace

frmMain::~frmMain()
{
    disconnectChildrenFrom(this); // no handler runs while the controls are destroyed
    // The import reads files the window named: it is stopped and waited for. A text being built owns
    // what it reads and is simply dropped.
    delete importer_;
}

void frmMain::mnuFile_Exit_Click()
{
    close();
}

bool frmMain::RefreshFileList(const QString &folder, FileListBox::Error *error)
{
    return choice_->refreshFileList(folder, error);
}

void frmMain::txtFileLocation_Change()
{
    choice_->refresh(txtFileLocation->text(), QStringLiteral("txtFileLocation_Change"));
}

void frmMain::cmdBrowsPath_Click()
{
    choice_->browse();
}

void frmMain::cmdChangeDirToLogs_Click()
{
    choice_->changeDirToGameFolder(QStringLiteral("\\Logs\\"));
}

void frmMain::cmdChangeDirToLogs_Old_Click()
{
    choice_->changeDirToGameFolder(QStringLiteral("\\Logs_Old\\"));
}

void frmMain::cmdImportFile_Click()
{
    if (refuseWhileImporting())
        return;
    if (const std::optional<QString> path = choice_->chosenLog())
        importLog(*path);
}

void frmMain::importLog(const QString &path)
{
    if (!refuseWhileImporting())
        importer_->start(LogImporter::fileRequest(path), chatList_->order());
}

void frmMain::mnuFile_OpenAllLogs_Click()
{
    openAllLogs(txtFileLocation->text());
}

void frmMain::openAllLogs(const QString &folder)
{
    if (refuseWhileImporting())
        return;
    QString error;
    const std::optional<LogImporter::Request> request = LogImporter::folderRequest(folder, &error);
    if (request)
        importer_->start(*request, chatList_->order());
    else
        showMessageBox(this, error, BoxStyle::Warning, QStringLiteral("Error"));
}

QThreadPool *frmMain::workerPool()
{
    return windowWorkers();
}

bool frmMain::isBusy() const
{
    return importer_->isRunning() || listing_ || textJob_ || exporter_->isRunning();
}

bool frmMain::refuseWhileImporting()
{
    if (!importer_->isRunning())
        return false;
    importer_->showProgress();
    QApplication::beep();
    return true;
}

void frmMain::emitIdleIfDone()
{
    if (!isBusy())
        emit idle();
}

void frmMain::finishImport()
{
    LogImporter::Outcome outcome = importer_->takeOutcome();
    auto loaded = std::make_shared<modMain::LoadedChatLog>(std::move(outcome.result.log));
    if (outcome.cancelled || outcome.result.status != modMain::LoadStatus::Loaded)
        releaseInWorker(std::move(loaded));
    if (outcome.cancelled || outcome.result.status == modMain::LoadStatus::Cancelled) {
        // The user chose to stop: nothing to report, nothing changed.
        emitIdleIfDone();
        return;
    }
    const QString problem = LogImporter::problemOf(outcome);
    if (!problem.isEmpty()) {
        showMessageBox(this, problem, BoxStyle::Warning, QStringLiteral("Error"));
        emitIdleIfDone();
        return;
    }

    // The chats are listed first, a slice of rows at a time for a long list; the log takes the place of
    // the one on view once they are all in. An import that ends meanwhile wins.
    if (listing_)
        releaseInWorker(std::move(listing_->log));
    listing_ = std::make_unique<ListedImport>(ListedImport{std::move(outcome), std::move(loaded)});
    chatList_->showLog(listing_->log, std::move(listing_->outcome.summaries),
                       std::move(listing_->outcome.rows), listing_->outcome.rowsOrder);
}

void frmMain::takeListedLog()
{
    const std::unique_ptr<ListedImport> listed = std::move(listing_);
    LogImporter::Outcome &outcome = listed->outcome;
    const LogImporter::Request &request = outcome.request;
    // A chat text still being built is of the log going out. Following goes with the log it was reading.
    dropTextJob(true);
    follow_->setFollower(std::move(outcome.follower));
    mnuOptionsFollowLog->setEnabled(follow_->canFollow());
    releaseInWorker(std::exchange(state_.log, std::move(listed->log)));
    search_->logReplaced(); // rows of the log gone out must not show
    status_->showLog(request.name, state_.log->ChatLog.size(), state_.log->ChatNames.size(),
                     outcome.encoding);
    cmdAddMergedChat->setEnabled(true);
    cmdClearList_Click();

    state_.logPath = request.logPath;
    state_.logFiles = request.files;
    setWindowTitle(request.title);
    if (!request.logPath.isEmpty())
        choice_->logImported(request.logPath);
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
    pages_->updateControls(CurrentPage, PageCount);
    if (onView.size() != 1 || !chatList_->choose(onView.first()))
        return;
    SelectedChats = onView;
    RefreshChatText();
}

void frmMain::openLog(const QString &path)
{
    if (refuseWhileImporting())
        return; // the folder box and the combo stay with the import under way
    choice_->showLog(path);
    importLog(QFileInfo(path).absoluteFilePath());
}

void frmMain::mnuFile_RecentLogs_Click(QAction *action)
{
    if (!refuseWhileImporting())
        choice_->recentChosen(action);
}

void frmMain::cmdClearList_Click()
{
    lstMergedChatNames->setRows({});
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
    textJob_ = new ChatTextJob(this, log, SelectedChats, state_.options);
    connect(textJob_, &ChatTextJob::cancelled, this, [this] {
        dropTextJob(true);
        emitIdleIfDone();
    });
    connect(textJob_, &ChatTextJob::built, this, [this](QString text) {
        textJob_->deleteLater();
        textJob_ = nullptr;
        showChatText(std::move(text));
        emitIdleIfDone();
    });
}

bool frmMain::dropTextJob(bool restore)
{
    if (!textJob_)
        return false;
    std::exchange(textJob_, nullptr)->discard();
    if (restore) {
        SelectedChats = viewChats_;
        setOptions(viewOptions_);
    }
    return true;
}

void frmMain::setOptions(const modMain::DisplayOptions &options)
{
    state_.options = options;
    mnuOptionsShowTimestamp->setChecked(options.ShowTimestamp);
    mnuOptions_PublicChannel_DisplayGameFeedback->setChecked(options.DisplayGameFeedback);
    mnuOptions_PublicChannel_DisplaySystem->setChecked(options.DisplaySystem);
}

void frmMain::showChatText(QString text)
{
    viewChats_ = SelectedChats;
    viewOptions_ = state_.options;
    mnuFile_ExportChat->setEnabled(!viewChats_.isEmpty());
    pages_->clear();
    CurrentPage = 1;
    ChatText = std::move(text);
    PageCount = int(modMain::PageCount(ChatText));
    RefreshChatPage();
}

void frmMain::RefreshChatPage()
{
    pages_->showPage(ChatText, CurrentPage, PageCount);
}

void frmMain::showPage(int page)
{
    CurrentPage = page;
    RefreshChatPage();
}

void frmMain::cmdPageNext_Click()
{
    if (CurrentPage < PageCount)
        showPage(CurrentPage + 1);
}

void frmMain::cmdPagePrevious_Click()
{
    if (CurrentPage > 1)
        showPage(CurrentPage - 1);
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
    finder_->showBox();
}

void frmMain::mnuEdit_FindNext_Click()
{
    finder_->findAgain(modMain::SearchDirection::Down);
}

void frmMain::mnuEdit_FindPrevious_Click()
{
    finder_->findAgain(modMain::SearchDirection::Up);
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
    if (PageCount > 1)
        cmdPagePrevious_Click();
}

void frmMain::mnuEdit_NextPage_Click()
{
    if (PageCount > 1)
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
    lstMergedChatNames->setRows(state_.MergedChats.labels());
}

void frmMain::cmdCopyToClipboard_Click()
{
    pages_->copyPage();
}

void frmMain::cmdSaveLogToFile_Click()
{
    cdgMainDialogs->filter = QStringLiteral("Text File (.txt)|*.txt");
    if (cdgMainDialogs->showSave())
        exporter_->savePage(cdgMainDialogs->fileName,
                            pages_->text(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), state_.logFiles);
}

void frmMain::mnuFile_ExportChat_Click()
{
    if (viewChats_.isEmpty())
        return;
    ChatExporter::Chat chat{ChatText, std::nullopt, QString(), viewChats_, viewOptions_.ShowTimestamp};
    // What the user typed into the page on view is part of the text on view.
    if (pages_->pageEdited()) {
        chat.editedSpan = modMain::PageRange(ChatText, CurrentPage);
        chat.editedPage = pages_->text(QStringLiteral("\r\n"));
    }
    exporter_->exportChat(std::move(chat), state_.logFiles);
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
    growChatBox(double(width) - LastWidth, double(height) - LastHeight);
    LastHeight = height;
    LastWidth = width;
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
        follow_->start();
    else
        follow_->stop();
    mnuOptionsFollowLog->setChecked(follow_->isFollowing()); // there may be nothing to follow
}

void frmMain::followLog()
{
    follow_->readAppended();
}

void frmMain::followingChanged(bool following)
{
    mnuOptionsFollowLog->setChecked(following);
    status_->showFollowing(following);
    const QString name = QFileInfo(state_.logPath).fileName();
    setWindowTitle(name + (following ? QStringLiteral(" (following)") : QString()) + QStringLiteral(" - ") +
                   kProgramName);
}

void frmMain::addFollowedRecords(const modMain::FollowRead &read)
{
    modMain::LoadedChatLog &log = *state_.log;
    QString dropped; // the lines on view of the record dropped
    if (read.dropsLast && !log.ChatLog.isEmpty() && !SelectedChats.isEmpty())
        dropped = modMain::BuildChatText(QList<modMain::ChatLine>{log.ChatLog.last()}, SelectedChats,
                                         state_.options);
    const qsizetype firstNew = read.dropsLast ? 0 : log.ChatLog.size();
    const modMain::FollowedNames names = modMain::appendFollowed(log, read);
    chatList_->showFollowed(names, firstNew);
    status_->showCounts(log.ChatLog.size(), log.ChatNames.size());
    if (SelectedChats.isEmpty())
        return;
    const QString added = modMain::BuildChatText(read.records, SelectedChats, state_.options);
    // Rare: the import read a last line before its end was written, and the line went on. Its lines end
    // the text; they go.
    const bool rewritten = !dropped.isEmpty() && ChatText.endsWith(dropped);
    if (!added.isEmpty() || rewritten)
        CurrentPage = pages_->grow(ChatText, CurrentPage, PageCount, added, rewritten ? dropped.size() : 0);
}
