// The main window, offscreen: importing through the folder box, the file combo and the Import button;
// clicking the largest chat (text assembly and its first page on screen); walking all of its pages with
// the Next button; finding in the largest chat with the Find box. Each timing ends after the window has
// repainted. The WindowBlock benchmarks measure how long the window stops answering during an import, a
// click on the largest chat and a merge of all chats: the longest gap between the ticks of a 5 ms timer.

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "BenchLogs.h"
#include "ChatSearch.h"
#include "LogGenerator.h"
#include "WindowDriver.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

QString utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The timed clicks end after the window has repainted.
void clickImport(WindowDriver &driver)
{
    driver.click("cmdImportFile");
    WindowDriver::settle();
}

void clickChat(QListWidgetItem *item)
{
    WindowDriver::clickItem(item);
    WindowDriver::settle();
}

// Every import goes into a fresh window, as at the first import after start-up; the window is built
// and torn down outside the timing.
void import(benchmark::State &state, const benchlogs::LogSize &size)
{
    const benchlogs::LogFile log = benchlogs::log(size);
    int chats = 0;
    for (auto _ : state) {
        auto window = std::make_unique<WindowDriver>();
        window->chooseLog(log.folder, log.fileName);
        const auto start = Clock::now();
        clickImport(*window);
        const auto stop = Clock::now();
        chats = window->get<QListWidget>("lstChatNames")->count();
        if (chats == 0) {
            state.SkipWithError("the import listed no chat");
            break;
        }
        state.SetIterationTime(seconds(stop - start));
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(log.bytes));
    state.counters["chats"] = chats;
    state.counters["file_MB"] = double(log.bytes) / 1e6;
}

// Importing again into a window that holds the same log: the previous log is let go inside the click.
void reimport(benchmark::State &state, const benchlogs::LogSize &size)
{
    const benchlogs::LogFile log = benchlogs::log(size);
    WindowDriver driver;
    driver.chooseLog(log.folder, log.fileName);
    clickImport(driver);
    for (auto _ : state) {
        const auto start = Clock::now();
        clickImport(driver);
        const auto stop = Clock::now();
        if (driver.window.state().log->ChatLog.isEmpty()) {
            state.SkipWithError("the import listed no chat");
            break;
        }
        state.SetIterationTime(seconds(stop - start));
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(log.bytes));
}

// One window with the main log imported, shared by the chat view benchmarks; closed before the
// application object goes.
std::unique_ptr<WindowDriver> sharedWindow;

WindowDriver &loadedWindow()
{
    if (!sharedWindow) {
        sharedWindow = std::make_unique<WindowDriver>();
        const benchlogs::LogFile log = benchlogs::log(benchlogs::mainSize());
        sharedWindow->chooseLog(log.folder, log.fileName);
        clickImport(*sharedWindow);
        if (sharedWindow->window.state().log->ChatLog.isEmpty())
            qFatal("bench: the main log did not import");
    }
    return *sharedWindow;
}

// The generated log's largest and small chats in the window's list; skips the benchmark without them.
bool findBenchChats(WindowDriver &driver, benchmark::State &state, QListWidgetItem **largest,
                    QListWidgetItem **small)
{
    *largest = driver.chatItem(utf8(loggen::kLargestChatName));
    *small = driver.chatItem(utf8(loggen::kSmallChatName));
    if (!*largest || !*small) {
        state.SkipWithError("the generated chats are not listed");
        return false;
    }
    return true;
}

// Clicking the largest chat while the small one is on view: the previous text is replaced, as when a
// user moves from chat to chat.
void clickLargestChat(benchmark::State &state)
{
    WindowDriver &driver = loadedWindow();
    const frmMain &window = driver.window;
    QListWidgetItem *largest = nullptr, *small = nullptr;
    if (!findBenchChats(driver, state, &largest, &small))
        return;
    for (auto _ : state) {
        clickChat(small);
        const auto start = Clock::now();
        clickChat(largest);
        const auto stop = Clock::now();
        if (window.PageCount < 2) {
            state.SkipWithError("the largest chat did not come up");
            break;
        }
        state.SetIterationTime(seconds(stop - start));
    }
    state.counters["chars"] = double(window.ChatText.size());
    state.counters["pages"] = window.PageCount;
}

// From page 1 to the last with Next; the time of one iteration is the whole walk.
void walkPages(benchmark::State &state)
{
    WindowDriver &driver = loadedWindow();
    const frmMain &window = driver.window;
    QListWidgetItem *largest = nullptr, *small = nullptr;
    if (!findBenchChats(driver, state, &largest, &small))
        return;
    double slowest = 0;
    int turns = 0;
    for (auto _ : state) {
        clickChat(small);
        clickChat(largest); // back to page 1
        double walk = 0;
        turns = 0;
        while (window.CurrentPage < window.PageCount) {
            const auto start = Clock::now();
            driver.click("cmdPageNext");
            WindowDriver::settle();
            const double turn = seconds(Clock::now() - start);
            walk += turn;
            slowest = std::max(slowest, turn);
            ++turns;
        }
        state.SetIterationTime(walk);
    }
    state.counters["pages"] = window.PageCount;
    state.counters["per_page"] = benchmark::Counter(
        double(turns), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["slowest_page_ms"] = slowest * 1e3;
}

// The text of a line near the end of the chat whose first occurrence is near the end too: found from
// page 1, it is a search through almost the whole chat and a turn to the last pages. Empty if none is.
QString lateNeedle(const QString &text)
{
    qsizetype end = text.size() - 2; // the final CR LF
    for (int tries = 0; tries < 500 && end > 0; ++tries) {
        const qsizetype start = text.lastIndexOf(QStringLiteral("\r\n"), end - 1) + 2;
        const QString line = text.mid(start, end - start);
        if (line.size() > 12 && text.indexOf(line) > text.size() * 9 / 10)
            return line;
        end = start - 2;
    }
    return {};
}

// The largest chat on view with timestamps, which makes it longer (about 45 million characters from the
// 100 MB log) and gives its lines near the end texts of their own; taken back by the destructor.
class TimestampedLargestChat {
public:
    TimestampedLargestChat(WindowDriver &driver, QListWidgetItem *largest) : driver_(driver)
    {
        clickChat(largest);
        toggleTimestamps();
    }
    ~TimestampedLargestChat() { toggleTimestamps(); }

private:
    // The text of a large chat is built on a worker: wait for it.
    void toggleTimestamps()
    {
        driver_.get<QAction>("mnuOptionsShowTimestamp")->trigger();
        driver_.waitUntilIdle();
        WindowDriver::settle();
    }

    WindowDriver &driver_;
};

// One step of Find Next in the Find box, from the top of page 1 to a match near the end of the largest
// chat, with or without the case to match.
void findAcrossChat(benchmark::State &state, bool matchCase)
{
    WindowDriver &driver = loadedWindow();
    const frmMain &window = driver.window;
    QListWidgetItem *largest = nullptr, *small = nullptr;
    if (!findBenchChats(driver, state, &largest, &small))
        return;
    const TimestampedLargestChat shown(driver, largest);
    const QString needle = lateNeedle(window.ChatText);
    if (needle.isEmpty()) {
        state.SkipWithError("no line near the end occurs there first");
        return;
    }
    const qsizetype position = window.ChatText.indexOf(needle);
    const qsizetype page = modMain::pageOfRange(window.ChatText, position, needle.size());
    driver.get<QAction>("mnuEdit_Find")->trigger();
    auto *box = driver.window.findChild<QWidget *>(QStringLiteral("frmFind"));
    box->findChild<QLineEdit *>(QStringLiteral("txtFind"))->setText(matchCase ? needle : needle.toUpper());
    box->findChild<QCheckBox *>(QStringLiteral("chkMatchCase"))->setChecked(matchCase);
    auto *findNext = box->findChild<QPushButton *>(QStringLiteral("cmdFindNext"));
    auto *view = driver.get<QPlainTextEdit>("txtChat");
    for (auto _ : state) {
        driver.get<QAction>("mnuEdit_FirstPage")->trigger();
        view->moveCursor(QTextCursor::Start);
        WindowDriver::settle();
        const auto start = Clock::now();
        QTest::mouseClick(findNext, Qt::LeftButton);
        WindowDriver::settle();
        const auto stop = Clock::now();
        if (window.CurrentPage != page || view->textCursor().selectedText().size() != needle.size()) {
            state.SkipWithError("the match was not shown");
            break;
        }
        state.SetIterationTime(seconds(stop - start));
    }
    box->close();
    state.counters["chars"] = double(window.ChatText.size());
    state.counters["searched"] = double(position);
    state.counters["page"] = double(page);
}

// The search alone when the text is nowhere: the whole chat is read, from the cursor to the end and
// round from the start, as a Find Next that ends in "Cannot find" does before its message.
void findNothing(benchmark::State &state, bool matchCase, modMain::SearchDirection direction,
                 const QString &needle)
{
    WindowDriver &driver = loadedWindow();
    const frmMain &window = driver.window;
    QListWidgetItem *largest = nullptr, *small = nullptr;
    if (!findBenchChats(driver, state, &largest, &small))
        return;
    const TimestampedLargestChat shown(driver, largest);
    const qsizetype from = window.ChatText.size() / 2;
    for (auto _ : state) {
        const modMain::ChatMatch match = modMain::findInChat(
            window.ChatText, needle, from, direction, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
        benchmark::DoNotOptimize(match);
        if (match.position != -1) {
            state.SkipWithError("found what is nowhere");
            break;
        }
    }
    state.counters["chars"] = double(window.ChatText.size());
    state.SetItemsProcessed(state.iterations() * window.ChatText.size());
}

// The longest time the GUI thread went without running its event loop while it lives: a 5 ms timer
// that notes the gap since its last tick. The first tick counts from construction.
class TickGaps {
public:
    TickGaps()
    {
        timer_.setInterval(5);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        last_ = Clock::now();
        timer_.start();
    }
    // The longest gap, counting the one up to now.
    double longestMs()
    {
        tick();
        return longest_ * 1e3;
    }

private:
    void tick()
    {
        const auto now = Clock::now();
        longest_ = std::max(longest_, seconds(now - last_));
        last_ = now;
    }
    QTimer timer_;
    Clock::time_point last_;
    double longest_ = 0;
};

// The user's actions the window must answer during; each leaves the window settled.
enum class BlockingAction { Import, ClickLargest, MergeAll };

void windowBlock(benchmark::State &state, BlockingAction action,
                 const std::function<benchlogs::LogFile()> &logFile)
{
    const benchlogs::LogFile log = logFile();
    WindowDriver driver;
    driver.chooseLog(log.folder, log.fileName);
    if (action != BlockingAction::Import) {
        clickImport(driver);
        if (action == BlockingAction::MergeAll) {
            driver.merge(driver.chatRows());
            WindowDriver::settle();
        }
    }
    QListWidgetItem *largest = driver.chatItem(utf8(loggen::kLargestChatName));
    QListWidgetItem *small = driver.chatItem(utf8(loggen::kSmallChatName));
    if (action != BlockingAction::Import && (!largest || !small)) {
        state.SkipWithError("the generated chats are not listed");
        return;
    }
    double longest = 0;
    for (auto _ : state) {
        if (action != BlockingAction::Import)
            clickChat(small);
        const auto start = Clock::now();
        TickGaps gaps;
        switch (action) {
        case BlockingAction::Import:
            clickImport(driver);
            break;
        case BlockingAction::ClickLargest:
            clickChat(largest);
            break;
        case BlockingAction::MergeAll:
            clickChat(driver.get<QListWidget>("lstMergedChatNames")->item(0));
            break;
        }
        const double block = gaps.longestMs();
        state.SetIterationTime(seconds(Clock::now() - start));
        longest = std::max(longest, block);
        if (driver.window.PageCount < 2 && action != BlockingAction::Import) {
            state.SkipWithError("the chat did not come up");
            break;
        }
    }
    state.counters["longest_block_ms"] = longest;
    state.counters["file_MB"] = double(log.bytes) / 1e6;
    state.counters["chats"] = double(driver.get<QListWidget>("lstChatNames")->count());
}

// Search All Chats on a log of each size: from Enter in the dock's field until the search has ended (its
// whole-log time), with the time until the first rows were in the results and the longest time the GUI
// thread went without its event loop meanwhile. The resident memory that the search and its rows added
// is counted too: the rows are record numbers, never copies of lines. bench/cli.sh times the command
// line's search on the same log.
struct SearchCase {
    const char *label;
    const char *pattern;
    bool matchCase;
    bool regex;
};

void searchAllChats(benchmark::State &state, const benchlogs::LogSize &size, const SearchCase &search)
{
    const benchlogs::LogFile log = benchlogs::log(size);
    WindowDriver driver;
    driver.chooseLog(log.folder, log.fileName);
    clickImport(driver);
    driver.get<QAction>("mnuEdit_SearchAllChats")->trigger();
    QObject *dock = driver.get<QWidget>("dockSearch");
    driver.get<QCheckBox>("chkSearchMatchCase")->setChecked(search.matchCase);
    driver.get<QCheckBox>("chkSearchRegex")->setChecked(search.regex);
    auto *field = driver.get<QLineEdit>("txtSearch");
    field->setText(QString::fromUtf8(search.pattern));
    const QAbstractItemModel *rows = driver.get<QAbstractItemView>("lstSearchResults")->model();
    const std::uint64_t memoryBefore = benchlogs::currentRss();
    double firstRows = 0, longest = 0;
    for (auto _ : state) {
        WindowDriver::settle();
        const auto start = Clock::now();
        TickGaps gaps;
        QTest::keyClick(field, Qt::Key_Return); // at once, without the pause after typing
        bool anyRows = false;
        while (dock->property("searching").toBool()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (!anyRows && rows->rowCount() > 0) {
                anyRows = true;
                firstRows = std::max(firstRows, seconds(Clock::now() - start));
            }
        }
        const auto stop = Clock::now();
        WindowDriver::settle();
        longest = std::max(longest, gaps.longestMs());
        state.SetIterationTime(seconds(stop - start));
    }
    const QString count = driver.get<QLabel>("lblSearchCount")->text();
    state.SetLabel(count.toStdString());
    state.counters["first_rows_ms"] = firstRows * 1e3;
    state.counters["longest_block_ms"] = longest;
    state.counters["added_MB"] = (double(benchlogs::currentRss()) - double(memoryBefore)) / 1e6;
    state.counters["file_MB"] = double(log.bytes) / 1e6;
}

// "Open All Logs in Folder" on the folder in $EVENFALL_BENCH_FOLDER, into a fresh window each time; to
// be set beside a single log of the same total size in $EVENFALL_BENCH_SIZES.
void openAllLogs(benchmark::State &state, const QString &folder)
{
    int chats = 0;
    for (auto _ : state) {
        auto window = std::make_unique<WindowDriver>();
        const auto start = Clock::now();
        window->openAllLogs(folder);
        WindowDriver::settle();
        const auto stop = Clock::now();
        chats = window->get<QListWidget>("lstChatNames")->count();
        if (chats == 0) {
            state.SkipWithError("the folder gave no chat");
            break;
        }
        state.SetIterationTime(seconds(stop - start));
    }
    state.counters["chats"] = chats;
}

void registerAll()
{
    const QString folder = qEnvironmentVariable("EVENFALL_BENCH_FOLDER");
    if (!folder.isEmpty()) {
        benchmark::RegisterBenchmark("WindowOpenAllLogs", openAllLogs, folder)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(2.0);
    }
    for (const benchlogs::LogSize &size : benchlogs::sizes()) {
        benchmark::RegisterBenchmark(("WindowImport/" + size.label.toStdString()).c_str(), import, size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(size.bytes >= (std::uint64_t(1) << 30) ? 0.1 : 2.0);
    }
    for (const benchlogs::LogSize &size : benchlogs::sizes()) {
        const std::string label = size.label.toStdString();
        const auto iterations = size.bytes >= (std::uint64_t(1) << 30) ? 1 : 3;
        for (auto [name, action] : {std::pair{"Import", BlockingAction::Import},
                                    std::pair{"ClickLargest", BlockingAction::ClickLargest},
                                    std::pair{"MergeAll", BlockingAction::MergeAll}}) {
            benchmark::RegisterBenchmark(("WindowBlock/" + std::string(name) + "/" + label).c_str(),
                                         windowBlock, action, [size] { return benchlogs::log(size); })
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime()
                ->Iterations(iterations);
        }
    }
    // A list of many rows must not hold the window up: a fourth and all of a million chats.
    for (int chats : {250000, 1000000}) {
        benchmark::RegisterBenchmark(("WindowBlock/ImportChats/" + std::to_string(chats)).c_str(),
                                     windowBlock, BlockingAction::Import,
                                     [chats] { return benchlogs::manyChatsLog(chats); })
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(2);
    }
    // A phrase with its case, the same in any case, as a regular expression, a word found nowhere, and
    // a pattern that every line matches.
    for (const benchlogs::LogSize &size : benchlogs::sizes()) {
        for (const SearchCase &search :
             {SearchCase{"phrase", "honey bread", true, false},
              SearchCase{"phrase_any_case", "honey bread", false, false},
              SearchCase{"regex", "hon.y b", true, true}, SearchCase{"nowhere", "Nowhere", true, false},
              SearchCase{"every_line", "^", true, true}}) {
            benchmark::RegisterBenchmark(
                ("WindowSearchAllChats/" + size.label.toStdString() + "/" + search.label).c_str(),
                searchAllChats, size, search)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime()
                ->Iterations(size.bytes >= (std::uint64_t(1) << 30) ? 1 : 3);
        }
    }
    const std::string logLabel = benchlogs::mainSize().label.toStdString();
    benchmark::RegisterBenchmark(("WindowReimport/" + logLabel).c_str(), reimport, benchlogs::mainSize())
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->MinTime(2.0);
    benchmark::RegisterBenchmark(("WindowClickLargestChat/" + logLabel).c_str(), clickLargestChat)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("WindowWalkPages/" + logLabel + "/largest").c_str(), walkPages)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1);
    for (bool matchCase : {true, false}) {
        const std::string cases = matchCase ? "/match_case" : "/any_case";
        benchmark::RegisterBenchmark(("WindowFindNext/" + logLabel + "/largest" + cases).c_str(),
                                     findAcrossChat, matchCase)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
        // A word; two rare letters; three of the commonest, which the vector filter lets through most.
        for (const char *needle : {"Nowhere", "qj", "ese"}) {
            for (auto direction : {modMain::SearchDirection::Down, modMain::SearchDirection::Up}) {
                const std::string way = direction == modMain::SearchDirection::Down ? "/down" : "/up";
                benchmark::RegisterBenchmark(
                    ("FindNothing/" + logLabel + "/largest/" + needle + cases + way).c_str(), findNothing,
                    matchCase, direction, QString::fromLatin1(needle))
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchlogs::useOffscreenUnlessSet();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    sharedWindow.reset();
    benchmark::Shutdown();
    return 0;
}
