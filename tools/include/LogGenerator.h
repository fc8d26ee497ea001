#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Made-up chat logs of a chosen size, for benchmarks and load tests. The same size and seed always give
// the same bytes; a log of size N is the first part of the log of any larger size with the same seed.
// The mix of lines is described at the top of LogGenerator.cpp.
namespace loggen {

struct Options {
    std::uint64_t size = 1 << 20; // bytes; output stops at the first line end at or after this
    std::uint64_t seed = 1;
};

// The chat a log line lands in, named as the reader names it.
struct ChatCount {
    std::string name; // UTF-8; the colon-less channels ("[Guild] ...") share the empty name
    std::uint64_t lines = 0;
};

enum FeedbackKind { Gathered, TooFar, Received, FeedbackKindCount };

struct Stats {
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0; // every line written: the header and empty lines too
    std::uint64_t emptyLines = 0;
    std::uint64_t publicLines = 0; // game feedback included
    std::uint64_t feedbackLines[FeedbackKindCount] = {};
    std::uint64_t channelLines = 0;
    std::uint64_t colonChannelLines = 0; // "[Trade: Speaker] text"; the rest are "[Guild] Speaker: text"
    std::uint64_t tellsReceived = 0;     // "X tells you: ..."
    std::uint64_t tellsSent = 0;         // "You tell X: ..."
    std::string firstTimestamp;          // of the header, "MM/dd/yyyy HH:mm:ss"
    std::string lastTimestamp;
    std::vector<ChatCount> chats; // every chat with at least one line, largest first

    std::uint64_t chatLines() const { return publicLines + channelLines + tellsReceived + tellsSent; }
    std::uint64_t allFeedbackLines() const;
    std::uint64_t linesOf(std::string_view chatName) const;
};

// The public chat, always the largest.
inline constexpr std::string_view kLargestChatName = "Public/Global";
// A tell partner who says little: a small chat for benchmarks (about one line in ten thousand).
inline constexpr std::string_view kSmallChatName = "Halvard";
// Everyone who sends or receives tells (UTF-8), kSmallChatName among them.
const std::vector<std::string_view> &tellPartners();
// The exact game-feedback texts (or, for Gathered and Received, the start of them) by FeedbackKind.
std::string_view feedbackText(FeedbackKind kind);

// Hands the log to sink in blocks of a few megabytes. The sink returns false to stop (a write failed);
// Generate then returns the stats of what was handed over, with ok set false.
using Sink = std::function<bool(const char *data, std::size_t size)>;
Stats generate(const Options &options, const Sink &sink, bool *ok = nullptr);

// Writes the log to a file (or to stdout when path is "-"). Returns false with a message on failure.
bool generateFile(const Options &options, const std::string &path, Stats *stats, std::string *error);

// The whole log in memory, for tests and in-process benchmarks.
std::string generateToString(const Options &options, Stats *stats = nullptr);

// The log's clock: a calendar date and time of day, advanced in whole seconds, kept as the text that
// opens each line. Dates follow the proleptic Gregorian calendar.
class LogClock {
public:
    LogClock(int year, int month, int day, int secondsOfDay);
    void advance(std::uint32_t seconds);
    std::string_view text() const { return {text_, sizeof text_}; } // "MM/dd/yyyy HH:mm:ss"

private:
    void formatDate();
    void formatTime();

    std::int64_t day_;      // days since 1970-01-01
    std::uint32_t seconds_; // since midnight
    char text_[19];
};

// Consecutive lines of a generated log are at most this many seconds apart (and several share a second).
inline constexpr int kMaxSecondsBetweenLines = 60;

// Reads a size such as "1048576", "200K", "100M" or "1G" (binary multiples). False when malformed or zero.
bool parseSize(std::string_view text, std::uint64_t *size);

} // namespace loggen
