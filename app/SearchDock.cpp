#include "SearchDock.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

#include "ChatListBox.h"
#include "ChatPageView.h"
#include "ChatSearch.h"
#include "LogFollower.h"
#include "LogSearch.h"
#include "SearchResults.h"
#include "TextMatcher.h"
#include "WindowWorkers.h"
#include "frmMain.h"

namespace {

// Typing starts a search once it pauses this long.
constexpr int kTypingPauseMs = 250;
// The worker looks at its stop flag every this many records (about a millisecond of work), and hands
// on what it found at the first match and then every so often, so that rows come while it works.
constexpr qsizetype kRecordsPerStep = 16384;
constexpr qint64 kSendEveryMs = 50;
// Rows shown more each time the view reaches the last one shown.
constexpr int kMoreRows = 10000;

QString countText(qsizetype matches, qsizetype chats)
{
    if (matches == 0)
        return QStringLiteral("No matches");
    return QStringLiteral("%1 %2 in %3 %4")
        .arg(matches)
        .arg(matches == 1 ? QStringLiteral("match") : QStringLiteral("matches"))
        .arg(chats)
        .arg(chats == 1 ? QStringLiteral("chat") : QStringLiteral("chats"));
}

bool sameLinesSearched(const modMain::DisplayOptions &a, const modMain::DisplayOptions &b)
{
    return a.DisplayGameFeedback == b.DisplayGameFeedback && a.DisplaySystem == b.DisplaySystem;
}

} // namespace

SearchDock::SearchDock(frmMain *window, ChatPageView *pages, ChatListBox *chats,
                       const QList<QAction *> &optionActions)
    : QDockWidget(QStringLiteral("Search All Chats"), window), window_(window), pages_(pages), chats_(chats)
{
    setObjectName(QStringLiteral("dockSearch"));
    results_ = new SearchResults(this);
    createControls();
    window->addDockWidget(Qt::BottomDockWidgetArea, this);
    hide();

    typingPause_ = new QTimer(this);
    typingPause_->setSingleShot(true);
    typingPause_->setInterval(kTypingPauseMs);
    connect(typingPause_, &QTimer::timeout, this, &SearchDock::startSearch);
    // What is being typed is no longer searched for: the search stops at once, and starts again once
    // typing pauses.
    connect(txtSearch, &QLineEdit::textChanged, this, [this] {
        endRun();
        typingPause_->start();
    });
    connect(txtSearch, &QLineEdit::returnPressed, this, &SearchDock::startSearch);
    connect(chkSearchMatchCase, &QCheckBox::toggled, this, &SearchDock::startSearch);
    connect(chkSearchRegex, &QCheckBox::toggled, this, &SearchDock::startSearch);
    connect(lstSearchResults, &QTreeView::activated, this,
            [this](const QModelIndex &index) { showResult(index.row()); });
    // Rows found but not yet shown come when the view reaches the last row shown.
    QScrollBar *bar = lstSearchResults->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, &SearchDock::showMoreAtBottom);
    connect(bar, &QScrollBar::rangeChanged, this, &SearchDock::showMoreAtBottom);
    connect(lstSearchResults->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.row() == results_->rowCount() - 1)
                    results_->showMore(kMoreRows);
            });
    connect(results_, &QAbstractItemModel::modelReset, this, &SearchDock::updateActions);
    connect(results_, &QAbstractItemModel::rowsInserted, this, &SearchDock::updateActions);
    connect(results_, &QAbstractItemModel::rowsRemoved, this, &SearchDock::updateActions);
    // After the window's own handlers, which change the options.
    for (QAction *option : optionActions)
        connect(option, &QAction::triggered, this, &SearchDock::followOptions);
    // The chat text of a large log comes from a worker: the line is shown once it is there. The
    // display options may have gone back meanwhile (Cancel).
    connect(window, &frmMain::idle, this, [this] {
        followOptions();
        revealPending();
    });
    updateActions();
}

SearchDock::~SearchDock()
{
    endRun();
    for (QFuture<void> &worker : workers_)
        worker.waitForFinished();
}

void SearchDock::createControls()
{
    auto *content = new QWidget(this);
    auto *lblSearchFor = new QLabel(QStringLiteral("Search for:"), content);
    lblSearchFor->setObjectName(QStringLiteral("lblSearchFor"));
    txtSearch = new QLineEdit(content);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setClearButtonEnabled(true);
    txtSearch->setAccessibleName(QStringLiteral("Search for"));
    lblSearchFor->setBuddy(txtSearch);
    chkSearchMatchCase = new QCheckBox(QStringLiteral("Match &case"), content);
    chkSearchMatchCase->setObjectName(QStringLiteral("chkSearchMatchCase"));
    chkSearchMatchCase->setAccessibleName(QStringLiteral("Match case"));
    chkSearchRegex = new QCheckBox(QStringLiteral("&Regular expression"), content);
    chkSearchRegex->setObjectName(QStringLiteral("chkSearchRegex"));
    chkSearchRegex->setAccessibleName(QStringLiteral("Regular expression"));
    lblSearchError = new QLabel(content);
    lblSearchError->setObjectName(QStringLiteral("lblSearchError"));
    lblSearchError->setWordWrap(true);
    lblSearchError->hide();

    lstSearchResults = new QTreeView(content);
    lstSearchResults->setObjectName(QStringLiteral("lstSearchResults"));
    lstSearchResults->setAccessibleName(QStringLiteral("Search results"));
    lstSearchResults->setAccessibleDescription(
        QStringLiteral("The lines that hold the text searched for, in file order: their time, chat and text. "
                       "Enter shows a line in the chat view."));
    lstSearchResults->setModel(results_);
    lstSearchResults->setItemDelegate(new SearchResultDelegate(lstSearchResults));
    lstSearchResults->setRootIsDecorated(false);
    lstSearchResults->setUniformRowHeights(true); // a row's height is not asked of every row
    lstSearchResults->setAllColumnsShowFocus(true);
    lstSearchResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstSearchResults->setSelectionMode(QAbstractItemView::SingleSelection);
    lstSearchResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Widths from the font, never from the rows, which may be millions.
    const QFontMetrics metrics(lstSearchResults->font());
    QHeaderView *header = lstSearchResults->header();
    header->setStretchLastSection(true);
    header->resizeSection(SearchResults::TimeColumn,
                          metrics.horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) +
                              metrics.averageCharWidth() * 3);
    header->resizeSection(SearchResults::ChatColumn, metrics.averageCharWidth() * 18);

    lblSearchCount = new QLabel(content);
    lblSearchCount->setObjectName(QStringLiteral("lblSearchCount"));
    lblSearchCount->setWordWrap(true);

    auto *grid = new QGridLayout(content);
    grid->addWidget(lblSearchFor, 0, 0);
    grid->addWidget(txtSearch, 0, 1);
    grid->addWidget(chkSearchMatchCase, 0, 2);
    grid->addWidget(chkSearchRegex, 0, 3);
    grid->addWidget(lblSearchError, 1, 1, 1, 3);
    grid->addWidget(lstSearchResults, 2, 0, 1, 4);
    grid->addWidget(lblSearchCount, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    setWidget(content);
    setTabOrder(txtSearch, chkSearchMatchCase);
    setTabOrder(chkSearchMatchCase, chkSearchRegex);
    setTabOrder(chkSearchRegex, lstSearchResults);

    const auto makeAction = [this](const char *name, const QString &caption, const QKeySequence &keys) {
        auto *action = new QAction(caption, window_);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        return action;
    };
    mnuEdit_SearchAllChats = makeAction("mnuEdit_SearchAllChats", QStringLiteral("Search &All Chats..."),
                                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    mnuEdit_NextResult = makeAction("mnuEdit_NextResult", QStringLiteral("Next Res&ult"), Qt::Key_F4);
    mnuEdit_PreviousResult =
        makeAction("mnuEdit_PreviousResult", QStringLiteral("P&revious Result"), Qt::SHIFT | Qt::Key_F4);
    connect(mnuEdit_SearchAllChats, &QAction::triggered, this, &SearchDock::showAndFocus);
    connect(mnuEdit_NextResult, &QAction::triggered, this, &SearchDock::showNextResult);
    connect(mnuEdit_PreviousResult, &QAction::triggered, this, &SearchDock::showPreviousResult);
}

void SearchDock::addToMenu(QMenu *menu, QAction *before)
{
    // With the other finds: before the separator that comes before before.
    const QList<QAction *> items = menu->actions();
    const qsizetype at = items.indexOf(before);
    QAction *anchor = at > 0 && items[at - 1]->isSeparator() ? items[at - 1] : before;
    menu->insertActions(anchor, {mnuEdit_SearchAllChats, mnuEdit_NextResult, mnuEdit_PreviousResult});
}

void SearchDock::showAndFocus()
{
    show();
    raise();
    if (isFloating())
        activateWindow();
    txtSearch->setFocus(Qt::ShortcutFocusReason);
    txtSearch->selectAll();
}

void SearchDock::startSearch()
{
    typingPause_->stop();
    endRun();
    results_->clear();
    searchedWith_.reset();
    pending_.reset();
    lblSearchError->hide();
    lblSearchCount->clear();
    lblSearchCount->setPalette(QPalette());
    const QString pattern = txtSearch->text();
    if (pattern.isEmpty())
        return;
    const bool regex = chkSearchRegex->isChecked(), ignoreCase = !chkSearchMatchCase->isChecked();
    auto matcher = std::make_shared<modMain::TextMatcher>(pattern, regex, ignoreCase);
    if (!matcher->isValid()) {
        showProblem(QStringLiteral("Not a regular expression: %1 at character %2.")
                        .arg(matcher->errorString())
                        .arg(matcher->errorOffset() + 1),
                    lblSearchError);
        return;
    }
    const std::shared_ptr<const modMain::LoadedChatLog> log = window_->state().log;
    const modMain::DisplayOptions options = window_->state().options;
    results_->start(log, pattern, regex, ignoreCase);
    searchedWith_ = options;
    progress_ = {};
    const quint64 run = run_;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    setSearching(true);
    showCount(progress_, QStringLiteral("Searching... "));
    workers_.removeIf([](const QFuture<void> &worker) { return worker.isFinished(); });
    // The worker owns what it reads: the log is let go there, after its last read.
    workers_.append(QtConcurrent::run(windowWorkers(), [this, run, stop = stop_, log, matcher, options] {
        if (stop->load())
            return;
        modMain::RecordSearch search(log->ChatLog, *matcher, options);
        QList<qsizetype> found;
        QElapsedTimer sinceSent;
        bool sent = false;
        for (bool more = true; more;) {
            more = search.searchOn(kRecordsPerStep, &found);
            if (stop->load(std::memory_order_relaxed))
                return;
            if (more && (found.isEmpty() || (sent && sinceSent.elapsed() < kSendEveryMs)))
                continue;
            const Progress progress{search.matches(), search.chats(), search.gaveUpAt(), !more};
            QMetaObject::invokeMethod(
                this,
                [this, run, records = std::exchange(found, {}), progress] {
                    receive(run, records, progress);
                },
                Qt::QueuedConnection);
            sent = true;
            sinceSent.start();
        }
    }));
}

void SearchDock::receive(quint64 run, const QList<qsizetype> &records, const Progress &progress)
{
    if (run != run_)
        return; // a search stopped or replaced since
    progress_ = progress;
    const int shown = results_->rowCount();
    results_->append(records);
    // Rows shown now move the scroll bar, which asks for more; otherwise the view may be at its end.
    if (results_->rowCount() == shown)
        showMoreAtBottom();
    if (!progress.done) {
        showCount(progress, QStringLiteral("Searching... "));
        return;
    }
    setSearching(false);
    if (progress.gaveUpAt < 0) {
        showCount(progress);
        return;
    }
    // Never a line without a match: what the engine could not decide ends the search, as on the
    // command line.
    const modMain::ChatLine line = window_->state().log->ChatLog.at(progress.gaveUpAt);
    QString where = line.ChatName.isEmpty() ? QStringLiteral("the line")
                                            : QStringLiteral("the line of %1").arg(line.ChatName);
    if (line.TimeStamp != 0.0)
        where += QStringLiteral(" at %1").arg(modMain::formatTimestamp(line.TimeStamp));
    showProblem(QStringLiteral("The regular expression gave up on %1 (too complex); the search stopped "
                               "there. %2 before it.")
                    .arg(where, countText(progress.matches, progress.chats)),
                lblSearchCount);
}

void SearchDock::endRun()
{
    if (stop_)
        stop_->store(true);
    stop_.reset();
    ++run_;
    setSearching(false);
}

void SearchDock::stopSearch()
{
    if (!searching_)
        return;
    endRun();
    showCount(progress_, QStringLiteral("Stopped: "));
}

void SearchDock::setSearching(bool searching)
{
    if (searching_ == searching)
        return;
    searching_ = searching;
    emit searchingChanged(searching);
}

void SearchDock::showCount(const Progress &progress, const QString &lead)
{
    lblSearchCount->setPalette(QPalette());
    lblSearchCount->setText(lead + countText(progress.matches, progress.chats));
}

void SearchDock::showProblem(const QString &problem, QLabel *label)
{
    // Red that reads on a light and on a dark background.
    QPalette palette;
    const bool dark = label->palette().color(QPalette::Window).lightness() < 128;
    palette.setColor(QPalette::WindowText, dark ? QColor(255, 140, 140) : QColor(190, 0, 0));
    label->setPalette(palette);
    label->setText(problem);
    label->show();
}

void SearchDock::logReplaced()
{
    endRun();
    results_->clear();
    searchedWith_.reset();
    pending_.reset();
    lblSearchCount->clear();
}

void SearchDock::recordsFollowed(const modMain::FollowRead &read)
{
    // Connected after the window's own handler: the log already holds what the read brought.
    if (read.dropsLast)
        results_->dropFrom(window_->state().log->ChatLog.size() - read.records.size());
}

void SearchDock::followOptions()
{
    if (searchedWith_ && !sameLinesSearched(*searchedWith_, window_->state().options))
        startSearch();
}

void SearchDock::showResult(int row)
{
    if (!results_->showUpTo(row))
        return;
    const QModelIndex index = results_->index(row, 0);
    if (lstSearchResults->currentIndex().row() != row)
        lstSearchResults->setCurrentIndex(index);
    lstSearchResults->scrollTo(index);
    const std::shared_ptr<const modMain::LoadedChatLog> &log = window_->state().log;
    const qsizetype record = results_->record(row);
    if (record >= log->ChatLog.size())
        return;
    const QString chat = log->ChatLog.at(record).ChatName;
    // By name: a sorted list no longer stands in the order of the log's table of names.
    const QList<QListWidgetItem *> rows = chats_->findItems(chat, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (rows.isEmpty())
        return;
    const int listRow = chats_->row(rows.first());
    const SearchResults::Span match = results_->matchOf(row);
    pending_ = Pending{log.get(), record, chat, match.start, match.length};
    // As a click on the chat's row, but a chat on view is not read again.
    chats_->chooseRow(listRow);
    if (window_->SelectedChats != QStringList{chat})
        window_->lstChatNames_Click();
    revealPending();
}

void SearchDock::revealPending()
{
    if (!pending_ || window_->isBusy())
        return;
    const Pending line = *std::exchange(pending_, std::nullopt);
    const ReaderState &state = window_->state();
    if (state.log.get() != line.log || window_->SelectedChats != QStringList{line.chat})
        return; // another log, or another chat chosen meanwhile
    const qsizetype lineStart =
        modMain::lineOffsetInChatText(state.log->ChatLog, line.record, window_->SelectedChats, state.options);
    if (lineStart < 0)
        return; // the display options leave the line out
    const QString &text = window_->ChatText;
    const qsizetype start = lineStart + modMain::stampLength(state.options) + line.start;
    qsizetype page = modMain::pageOfRange(text, start, line.length);
    if (page == 0)
        page = modMain::pageOfRange(text, start, 0); // a match across a cut shows from its start
    if (page == 0)
        return;
    if (page != window_->CurrentPage || pages_->pageEdited())
        emit pageWanted(int(page));
    const modMain::PageSpan shown = modMain::PageRange(text, window_->CurrentPage);
    const qsizetype end = std::min(start + line.length, shown.start + shown.length);
    pages_->selectInPage(QStringView(text).mid(shown.start, shown.length), start - shown.start,
                         end - shown.start);
}

void SearchDock::showNextResult()
{
    const QModelIndex current = lstSearchResults->currentIndex();
    const qsizetype next = current.isValid() ? current.row() + 1 : 0;
    if (next >= results_->found()) {
        QApplication::beep();
        return;
    }
    showResult(int(next));
}

void SearchDock::showPreviousResult()
{
    const QModelIndex current = lstSearchResults->currentIndex();
    if (!current.isValid() || current.row() == 0) {
        QApplication::beep();
        return;
    }
    showResult(current.row() - 1);
}

void SearchDock::showMoreAtBottom()
{
    // A hidden view's scroll bar has no range: it would seem always at its end.
    const QScrollBar *bar = lstSearchResults->verticalScrollBar();
    if (lstSearchResults->isVisible() && bar->value() >= bar->maximum())
        results_->showMore(kMoreRows);
}

void SearchDock::updateActions()
{
    const bool any = results_->found() > 0;
    mnuEdit_NextResult->setEnabled(any);
    mnuEdit_PreviousResult->setEnabled(any);
}

void SearchDock::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && searching_) {
        stopSearch();
        event->accept();
        return;
    }
    QDockWidget::keyPressEvent(event);
}
