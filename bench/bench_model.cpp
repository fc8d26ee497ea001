// The chat log model on its own: the parser per line shape, decoding, the whole load, text assembly and
// the nearest-line-end search that paging uses. Logs come from BenchLogs (generated, never checked in).

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "BenchLogs.h"
#include "ChatExport.h"
#include "LogGenerator.h"
#include "TextCodec.h"
#include "modMain.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The shapes a log is made of, in the proportions of a real one (see tools/LogGenerator.cpp).
struct LineCase {
    const char *name;
    const char16_t *line;
};

const LineCase kLines[] = {
    {"public", u"[12/31/2006 22:33:19] Kestin: grats on the level"},
    {"public_emote", u"[12/31/2006 22:33:17] Sable laughs."},
    {"feedback", u"[12/31/2006 22:33:40] You have gathered 3 iron ore."},
    {"feedback_too_far",
     u"[12/31/2006 22:33:41] You are too far away from the resource node to gather resources from it."},
    {"channel_named",
     u"[12/31/2006 22:33:33] [Trade: Sable] the caf\u00e9 in Brightwater sells honey bread now"},
    {"channel_unnamed", u"[12/31/2006 22:33:14] [Guild] Dagrun: on my way"},
    {"tell_received",
     u"[12/31/2006 22:33:32] Orrik tells you: that\u2019s the D\u00e9j\u00e0 Vu quest, skip it"},
    {"tell_sent", u"[12/31/2006 22:33:13] You tell Sable: LFM tower run tonight, 2 dps and a healer"},
    {"no_timestamp", u"Orrik tells you: are you there?"},
};

// ParseChatLine as the tests and callers see it: a record with its own strings.
void parseLine(benchmark::State &state, const LineCase &c)
{
    const QString line = QString::fromUtf16(c.line);
    for (auto _ : state)
        benchmark::DoNotOptimize(modMain::ParseChatLine(line));
    state.SetItemsProcessed(state.iterations());
}

void parseTimestamp(benchmark::State &state, const char16_t *text)
{
    const QStringView view(text);
    double days = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(modMain::parseTimestamp(view, &days));
        benchmark::DoNotOptimize(days);
    }
    state.SetItemsProcessed(state.iterations());
}

// The first megabytes of a generated log: about a fifth of its phrases carry windows-1252 letters.
QByteArray sampleBytes(bool asciiOnly)
{
    constexpr qsizetype kSample = 4 << 20;
    const std::string log = loggen::generateToString({std::uint64_t(kSample), benchlogs::kSeed});
    QByteArray bytes(log.data(), qsizetype(log.size()));
    if (asciiOnly) {
        for (char &b : bytes) {
            if (static_cast<unsigned char>(b) >= 0x80)
                b = 'e';
        }
    }
    return bytes;
}

void decode(benchmark::State &state, bool asciiOnly)
{
    const QByteArray bytes = sampleBytes(asciiOnly);
    std::u16string out(bytes.size() + 4, u'\0');
    for (auto _ : state) {
        modMain::LogDecoder decoder(modMain::LogEncoding::Ansi);
        benchmark::DoNotOptimize(decoder.decode(bytes, out.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// The whole load of one file. Only LoadChatLog is timed; freeing the previous result is not part of it.
// parts: as LoadOptions takes it (0: one per core for a large file; 1: read in one go on one thread).
void loadFile(benchmark::State &state, const benchlogs::LogFile &log, int parts = 0)
{
    const QString path = log.path();
    modMain::LoadOptions options;
    options.parts = parts;
    qsizetype records = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        modMain::LoadResult result = modMain::LoadChatLog(path, options);
        const auto stop = Clock::now();
        if (result.status != modMain::LoadStatus::Loaded) {
            state.SkipWithError("the log did not load");
            break;
        }
        records = result.log.ChatLog.size();
        state.SetIterationTime(seconds(stop - start));
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(log.bytes));
    state.counters["records"] = double(records);
    state.counters["file_MB"] = double(log.bytes) / 1e6;
}

void load(benchmark::State &state, const benchlogs::LogSize &size)
{
    loadFile(state, benchlogs::log(size));
}

// The same on one thread, to see what the parts gain.
void loadInOnePart(benchmark::State &state, const benchlogs::LogSize &size)
{
    loadFile(state, benchlogs::log(size), 1);
}

// A log of one huge line loads at the pace of an ordinary log of that size.
void loadLongLine(benchmark::State &state, const benchlogs::LogSize &textSize)
{
    loadFile(state, benchlogs::longLineLog(textSize));
}

// One loaded log shared by the benchmarks that read it.
const modMain::LoadedChatLog &mainLog()
{
    static std::unique_ptr<modMain::LoadedChatLog> loaded;
    if (!loaded) {
        modMain::LoadResult result = modMain::LoadChatLog(benchlogs::log(benchlogs::mainSize()).path());
        if (result.status != modMain::LoadStatus::Loaded) {
            std::fprintf(stderr, "bench: the main log did not load: %s\n", qPrintable(result.errorText));
            std::exit(2);
        }
        loaded = std::make_unique<modMain::LoadedChatLog>(std::move(result.log));
    }
    return *loaded;
}

void build(benchmark::State &state, const QString &chat, bool timestamps)
{
    const modMain::LoadedChatLog &log = mainLog();
    const QStringList selection{chat};
    modMain::DisplayOptions options;
    options.ShowTimestamp = timestamps;
    qsizetype chars = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        QString text = modMain::BuildChatText(log.ChatLog, selection, options);
        const auto stop = Clock::now();
        chars = text.size();
        state.SetIterationTime(seconds(stop - start));
        text = QString(); // freed outside the timing, as the window frees the previous text
    }
    state.counters["chars"] = double(chars);
    state.counters["chars_per_second"] =
        benchmark::Counter(double(chars), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["records"] = double(log.ChatLog.size());
}

// Both cuts of every page of the largest chat, as the window computes them to show a page.
void pageCuts(benchmark::State &state)
{
    constexpr qsizetype kPage = 65000;
    const QString text = modMain::BuildChatText(
        mainLog().ChatLog,
        {QString::fromUtf8(loggen::kLargestChatName.data(), qsizetype(loggen::kLargestChatName.size()))}, {});
    const QString lineEnd = QStringLiteral("\r\n");
    const qsizetype pages = (text.size() + kPage - 1) / kPage;
    for (auto _ : state) {
        for (qsizetype page = 1; page <= pages; ++page) {
            if (page != 1)
                benchmark::DoNotOptimize(modMain::FindNearest(text, lineEnd, (page - 1) * kPage, -1));
            benchmark::DoNotOptimize(modMain::FindNearest(text, lineEnd, page * kPage, -1));
        }
    }
    state.counters["pages"] = double(pages);
    state.counters["per_page"] = benchmark::Counter(
        double(pages), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Export Chat of the largest chat with timestamps, as text or as a web page, to a file on disk.
void exportChat(benchmark::State &state, modMain::ExportFormat format)
{
    modMain::DisplayOptions options;
    options.ShowTimestamp = true;
    const QString text = modMain::BuildChatText(
        mainLog().ChatLog,
        {QString::fromUtf8(loggen::kLargestChatName.data(), qsizetype(loggen::kLargestChatName.size()))},
        options);
    QTemporaryDir dir;
    modMain::ExportOptions exportOptions;
    exportOptions.format = format;
    exportOptions.timestamps = true;
    for (auto _ : state) {
        const auto start = Clock::now();
        QString error;
        if (modMain::exportChat(dir.filePath(QStringLiteral("out")), text, exportOptions, &error) !=
            modMain::ExportStatus::Written)
            state.SkipWithError(qPrintable(error));
        state.SetIterationTime(seconds(Clock::now() - start));
    }
    state.counters["chars"] = double(text.size());
    state.counters["bytes"] = double(QFile(dir.filePath(QStringLiteral("out"))).size());
}

QString utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

void registerAll()
{
    for (const LineCase &c : kLines)
        benchmark::RegisterBenchmark((std::string("ParseChatLine/") + c.name).c_str(), parseLine, c);
    benchmark::RegisterBenchmark("ParseTimestamp/common_form", parseTimestamp, u"06/14/2005 21:03:17");
    benchmark::RegisterBenchmark("ParseTimestamp/general_form", parseTimestamp, u"6/14/05 9:03 PM");

    benchmark::RegisterBenchmark("Decode/windows1252_log", decode, false);
    benchmark::RegisterBenchmark("Decode/ascii_only", decode, true);

    for (const benchlogs::LogSize &size : benchlogs::sizes()) {
        benchmark::RegisterBenchmark(("LoadChatLog/" + size.label.toStdString()).c_str(), load, size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(size.bytes >= (std::uint64_t(1) << 30) ? 0.1 : 2.0);
        benchmark::RegisterBenchmark(("LoadChatLog/" + size.label.toStdString() + "/one_part").c_str(),
                                     loadInOnePart, size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(size.bytes >= (std::uint64_t(1) << 30) ? 0.1 : 2.0);
    }

    benchmark::RegisterBenchmark("LoadChatLog/one_200M_line", loadLongLine,
                                 benchlogs::LogSize{QStringLiteral("200M"), std::uint64_t(200) << 20})
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->MinTime(2.0);

    const std::string logLabel = benchlogs::mainSize().label.toStdString();
    const QString largest = utf8(loggen::kLargestChatName), small = utf8(loggen::kSmallChatName);
    benchmark::RegisterBenchmark(("BuildChatText/" + logLabel + "/largest").c_str(), build, largest, false)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("BuildChatText/" + logLabel + "/largest_timestamps").c_str(), build,
                                 largest, true)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("BuildChatText/" + logLabel + "/small").c_str(), build, small, false)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("ExportChat/" + logLabel + "/largest_text").c_str(), exportChat,
                                 modMain::ExportFormat::Text)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("ExportChat/" + logLabel + "/largest_html").c_str(), exportChat,
                                 modMain::ExportFormat::Html)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("FindNearest/" + logLabel + "/every_page_of_largest").c_str(), pageCuts)
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
