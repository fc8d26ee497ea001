// Work that must grow with what it handles and no faster: each case runs at two sizes a factor 4
// apart, so that a cost growing with the square shows as 16 times, not 4. Beside each timing, the
// figure it is held to: a ratio to the same lines handled the plain way, or a time.
//
//   MergeDialogAdd/N   the merge dialog's ">>" with all N chats selected (at most 100 ms for 16k)
//   MergedClick/N      the text of a merged chat of N names, beside one chat of the same lines (2x)
//   OpenAllLogs/N      N logs of 20 new chats each opened in the window as one, beside one file of their
//                      lines (1.5x)
//   FollowOneLine/N    one followed line added to a log of N chats (at most 20 ms whatever N)

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "BenchLogs.h"
#include "ChatLogFolder.h"
#include "LogFollower.h"
#include "MergedChats.h"
#include "WindowDriver.h"
#include "frmMergeChats.h"
#include "modMain.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

template <typename Work> double timed(Work &&work)
{
    const auto start = Clock::now();
    work();
    return seconds(Clock::now() - start);
}

QString chatName(qsizetype i)
{
    return QStringLiteral("Chatter%1").arg(i, 7, 10, QLatin1Char('0'));
}

QStringList chatNames(qsizetype n)
{
    QStringList names;
    names.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        names.append(chatName(i));
    return names;
}

QByteArray tellLine(qsizetype chat, qsizetype line)
{
    return QStringLiteral("[06/14/2005 21:%1:%2] %3 tells you: line %4 of a chat\r\n")
        .arg((line / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(line % 60, 2, 10, QLatin1Char('0'))
        .arg(chatName(chat))
        .arg(line)
        .toLatin1();
}

void mergeDialogAdd(benchmark::State &state)
{
    const QStringList names = chatNames(state.range(0));
    for (auto _ : state) {
        MergedChatTable table;
        table.reset();
        frmMergeChats dialog(names, table);
        dialog.show();
        auto *available = dialog.findChild<QListWidget *>(QStringLiteral("lstChatNames"));
        available->selectAll();
        WindowDriver::settle();
        state.SetIterationTime(timed([&] {
            dialog.findChild<QPushButton *>(QStringLiteral("cmdAddToMerge"))->click();
            WindowDriver::settle();
        }));
        if (dialog.findChild<QListWidget *>(QStringLiteral("lstMergedChatNames"))->count() != names.size()) {
            state.SkipWithError("not every chat was added");
            break;
        }
    }
}

// Records of chats chats, linesPerChat each, interleaved; with oneChat every record is of the first.
modMain::ChatLogRecords interleaved(qsizetype chats, qsizetype linesPerChat, bool oneChat)
{
    modMain::ChatLogRecords records;
    for (qsizetype line = 0; line < linesPerChat; ++line) {
        for (qsizetype chat = 0; chat < chats; ++chat) {
            modMain::ChatLine record;
            record.ChatName = chatName(oneChat ? 0 : chat);
            record.IsTell = true;
            record.TimeStamp = 38517.0 + double(line) / 1440;
            record.Text = QStringLiteral(" %1 tells you: line %2 of a chat").arg(record.ChatName).arg(line);
            records.append(record);
        }
    }
    return records;
}

void mergedClick(benchmark::State &state)
{
    const qsizetype chats = state.range(0), lines = 8;
    const modMain::ChatLogRecords merged = interleaved(chats, lines, false);
    const modMain::ChatLogRecords single = interleaved(chats, lines, true);
    const QStringList all = chatNames(chats), one = {chatName(0)};
    double mergedSeconds = 0, singleSeconds = 0;
    for (auto _ : state) {
        QString text;
        const double m = timed([&] { text = modMain::BuildChatText(merged, all, {}); });
        const double s = timed([&] { benchmark::DoNotOptimize(modMain::BuildChatText(single, one, {})); });
        mergedSeconds += m;
        singleSeconds += s;
        state.SetIterationTime(m);
        benchmark::DoNotOptimize(text);
    }
    state.counters["single_chat_ms"] = singleSeconds * 1e3 / double(state.iterations());
    state.counters["x_single_chat"] = mergedSeconds / singleSeconds;
}

bool writeLog(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void openAllLogs(benchmark::State &state)
{
    const qsizetype files = state.range(0), namesPerFile = 20;
    QTemporaryDir folder;
    QStringList paths;
    QByteArray whole = "Chat log started 06/14/2005 21:03:00\r\n";
    for (qsizetype f = 0; f < files; ++f) {
        QByteArray bytes = "Chat log started 06/14/2005 21:03:00\r\n";
        for (qsizetype n = 0; n < namesPerFile; ++n)
            bytes += tellLine(f * namesPerFile + n, n);
        whole += bytes.sliced(bytes.indexOf('\n') + 1);
        paths.append(
            folder.filePath(QStringLiteral("client_chat_log_%1.txt").arg(f, 6, 10, QLatin1Char('0'))));
        if (!writeLog(paths.last(), bytes)) {
            state.SkipWithError("cannot write the logs");
            return;
        }
    }
    QTemporaryDir oneFolder;
    const QString onePath = oneFolder.filePath(QStringLiteral("client_chat_log_one.txt"));
    if (!writeLog(onePath, whole)) {
        state.SkipWithError("cannot write the logs");
        return;
    }
    // Through the window, as the user opens them: the folder listed, every file read, the chats listed.
    WindowDriver driver;
    driver.folderBox()->setText(folder.path());
    auto *openAll = driver.window.findChild<QAction *>(QStringLiteral("mnuFile_OpenAllLogs"));
    double manySeconds = 0, oneSeconds = 0;
    for (auto _ : state) {
        const double m = timed([&] {
            openAll->trigger();
            driver.waitUntilIdle();
        });
        const QStringList many = driver.window.state().log->ChatNames;
        const double o = timed([&] { driver.open(onePath); });
        driver.folderBox()->setText(folder.path());
        if (many != driver.window.state().log->ChatNames || many.size() != files * namesPerFile) {
            state.SkipWithError("the logs read as one differ from their lines in one file");
            break;
        }
        manySeconds += m;
        oneSeconds += o;
        state.SetIterationTime(m);
    }
    state.counters["one_file_ms"] = oneSeconds * 1e3 / double(state.iterations());
    state.counters["x_one_file"] = manySeconds / oneSeconds;
}

void followOneLine(benchmark::State &state)
{
    const qsizetype chats = state.range(0);
    modMain::LoadedChatLog log;
    log.ChatLog = interleaved(chats, 1, false);
    log.ChatNames = log.ChatLog.chatNames();
    qsizetype line = 0;
    auto readOneLine = [&] {
        modMain::FollowRead read;
        modMain::ChatLine record;
        record.ChatName = QStringLiteral("Newcomer%1").arg(line++);
        record.IsTell = true;
        record.Text = record.ChatName + QStringLiteral(" tells you: hello");
        read.records.append(record);
        benchmark::DoNotOptimize(modMain::appendFollowed(log, read));
    };
    // The first read after an import learns the names once; the reads after it are timed.
    state.counters["first_read_ms"] = timed(readOneLine) * 1e3;
    for (auto _ : state)
        readOneLine();
    state.counters["chats"] = double(log.ChatNames.size());
}

} // namespace

int main(int argc, char **argv)
{
    benchlogs::useOffscreenUnlessSet();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("MergeDialogAdd", mergeDialogAdd)
        ->Arg(4000)
        ->Arg(16000)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(2);
    benchmark::RegisterBenchmark("MergedClick", mergedClick)
        ->Arg(4000)
        ->Arg(16000)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("OpenAllLogs", openAllLogs)
        ->Arg(1000)
        ->Arg(4000)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("FollowOneLine", followOneLine)
        ->Arg(250000)
        ->Arg(1000000)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
