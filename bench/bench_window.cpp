// The main window, offscreen: importing through the folder box, the file combo and the Import button;
// clicking the largest chat (text assembly and its first page on screen); walking all of its pages with
// the Next button. Each timing ends after the window has repainted.

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "BenchLogs.h"
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
        if (driver.window.state().ChatLog.isEmpty()) {
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
        if (sharedWindow->window.state().ChatLog.isEmpty())
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

void registerAll()
{
    for (const benchlogs::LogSize &size : benchlogs::sizes()) {
        benchmark::RegisterBenchmark(("WindowImport/" + size.label.toStdString()).c_str(), import, size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(size.bytes >= (std::uint64_t(1) << 30) ? 0.1 : 2.0);
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
