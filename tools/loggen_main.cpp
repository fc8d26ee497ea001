// evenfall-loggen: writes a made-up chat log of a given size, the same bytes for the same size and seed.

#include "LogGenerator.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void printUsage(std::FILE *to)
{
    std::fputs("Usage: evenfall-loggen --size SIZE --output FILE [--seed N] [--stats]\n"
               "\n"
               "Writes a made-up Evenfall chat log (windows-1252, CR LF) of about SIZE bytes:\n"
               "it stops at the first line end at or after SIZE. The same SIZE and seed give the\n"
               "same bytes.\n"
               "\n"
               "  --size SIZE    bytes, with an optional suffix K, M or G (1024-based), e.g. 100M\n"
               "  --output FILE  the file to write, or - for standard output\n"
               "  --seed N       a number that picks the log (default 1)\n"
               "  --stats        print the mix of lines and chats to standard error\n",
               to);
}

double share(std::uint64_t part, std::uint64_t whole)
{
    return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

void printStats(const loggen::Stats &s, std::uint64_t seed)
{
    const std::uint64_t chat = s.chatLines();
    const std::uint64_t feedback = s.allFeedbackLines();
    const auto chatName = [](const std::string &name) { return name.empty() ? std::string("\"\"") : name; };
    std::fprintf(stderr, "seed           %" PRIu64 "\n", seed);
    std::fprintf(stderr, "bytes          %" PRIu64 "\n", s.bytes);
    std::fprintf(stderr, "lines          %" PRIu64 " (1 header, %" PRIu64 " empty, %" PRIu64 " chat lines)\n",
                 s.lines, s.emptyLines, chat);
    std::fprintf(stderr,
                 "public         %" PRIu64 " (%.1f%%), game feedback %" PRIu64
                 " (%.1f%% of public): gathered %" PRIu64 ", too far %" PRIu64 ", received %" PRIu64 "\n",
                 s.publicLines, share(s.publicLines, chat), feedback, share(feedback, s.publicLines),
                 s.feedbackLines[loggen::Gathered], s.feedbackLines[loggen::TooFar],
                 s.feedbackLines[loggen::Received]);
    std::fprintf(stderr,
                 "channel        %" PRIu64 " (%.1f%%): %" PRIu64 " \"[Name: Speaker]\", %" PRIu64
                 " \"[Name] Speaker:\"\n",
                 s.channelLines, share(s.channelLines, chat), s.colonChannelLines,
                 s.channelLines - s.colonChannelLines);
    std::fprintf(stderr, "tell           %" PRIu64 " (%.1f%%): %" PRIu64 " received, %" PRIu64 " sent\n",
                 s.tellsReceived + s.tellsSent, share(s.tellsReceived + s.tellsSent, chat), s.tellsReceived,
                 s.tellsSent);
    std::fprintf(stderr, "chats          %zu\n", s.chats.size());
    if (!s.chats.empty())
        std::fprintf(stderr, "largest chat   %s: %" PRIu64 " lines\n", chatName(s.chats.front().name).c_str(),
                     s.chats.front().lines);
    std::fprintf(stderr, "small chat     %.*s: %" PRIu64 " lines\n",
                 static_cast<int>(loggen::kSmallChatName.size()), loggen::kSmallChatName.data(),
                 s.linesOf(loggen::kSmallChatName));
    std::fprintf(stderr, "next largest  ");
    for (std::size_t i = 1; i < s.chats.size() && i < 6; ++i)
        std::fprintf(stderr, " %s: %" PRIu64 ";", chatName(s.chats[i].name).c_str(), s.chats[i].lines);
    std::fprintf(stderr, "\ntimestamps     %s to %s\n", s.firstTimestamp.c_str(), s.lastTimestamp.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    loggen::Options options;
    std::string output;
    bool haveSize = false;
    bool stats = false;

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        } else if (arg == "--stats") {
            stats = true;
        } else if (arg == "--size" && hasValue) {
            if (!loggen::parseSize(argv[++i], &options.size)) {
                std::fprintf(stderr, "evenfall-loggen: bad size \"%s\"\n", argv[i]);
                return 2;
            }
            haveSize = true;
        } else if (arg == "--seed" && hasValue) {
            char *end = nullptr;
            options.seed = std::strtoull(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *argv[i] == '-' || *end != '\0') {
                std::fprintf(stderr, "evenfall-loggen: bad seed \"%s\"\n", argv[i]);
                return 2;
            }
        } else if (arg == "--output" && hasValue) {
            output = argv[++i];
        } else {
            std::fprintf(stderr, "evenfall-loggen: unexpected argument \"%s\"\n\n", argv[i]);
            printUsage(stderr);
            return 2;
        }
    }
    if (!haveSize || output.empty()) {
        printUsage(stderr);
        return 2;
    }

    loggen::Stats result;
    std::string error;
    if (!loggen::generateFile(options, output, &result, &error)) {
        std::fprintf(stderr, "evenfall-loggen: %s\n", error.c_str());
        return 1;
    }
    if (stats)
        printStats(result, options.seed);
    return 0;
}
