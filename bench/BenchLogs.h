#pragma once

#include <QList>
#include <QString>

#include <cstdint>

// The generated logs that the benchmarks read. They live in $EVENFALL_BENCH_DIR when it is set (bench/run.sh
// generates them there beforehand), otherwise in a temporary folder removed at exit; a log missing from
// the folder is generated on first use. Each log has a folder of its own, so that the window's file combo
// lists exactly that one file.
namespace benchlogs {

inline constexpr std::uint64_t kSeed = 42;

struct LogSize {
    QString label; // as written: "10M", "100M", "1G"
    std::uint64_t bytes = 0;
};

// The sizes named in $EVENFALL_BENCH_SIZES (comma-separated, e.g. "10M,100M,1G"); 10M and 100M by default.
QList<LogSize> sizes();

// The size that the single-log benchmarks (text assembly, paging, the window's chat view) use: 100M,
// or $EVENFALL_BENCH_MAIN_SIZE.
LogSize mainSize();

struct LogFile {
    QString folder;
    QString fileName;
    QString path() const { return folder + u'/' + fileName; }
    std::uint64_t bytes = 0; // the file's real size (the generator stops at a line end past the size)
};

// The log of that size, generated if missing. Exits with a message when it cannot be written.
LogFile log(const LogSize &size);

// A log whose one chat line is a tell of textBytes characters, the worst case for splitting lines (label
// as for sizes, e.g. "200M"). Generated if missing, like log().
LogFile longLineLog(const LogSize &textSize);

// A log of chats distinct chats, one tell each, and one public line: a list of that many rows.
// Generated if missing, like log().
LogFile manyChatsLog(int chats);

// The window benchmarks run headless unless QT_QPA_PLATFORM says otherwise; the offscreen platform's
// notes about what it cannot do are dropped so that they do not land between the results. Call before
// the application object is made.
void useOffscreenUnlessSet();

// Peak and current resident memory of this process, in bytes (0 where unknown).
std::uint64_t peakRss();
std::uint64_t currentRss();

} // namespace benchlogs
