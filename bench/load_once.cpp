// One load of a log and, with a chat named, the text of that chat built once, without a window: nothing
// else, so that callgrind's instruction count of the whole process is the load (and the build) plus a
// small start-up, repeatable to a few hundredths of a percent.
//
//   [EVENFALL_PARTS=N] valgrind --tool=callgrind evenfall-load-once FILE [CHAT]
//
// EVENFALL_PARTS is LoadOptions::parts (unset or 0: as the window loads, in parts on several cores).
#include <cstdio>

#include "modMain.h"

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "Usage: evenfall-load-once FILE [CHAT]\n");
        return 2;
    }
    modMain::LoadOptions options;
    options.parts = qEnvironmentVariableIntValue("EVENFALL_PARTS"); // 0 when unset: as the window loads
    modMain::LoadResult result = modMain::LoadChatLog(QString::fromLocal8Bit(argv[1]), options);
    if (result.status != modMain::LoadStatus::Loaded) {
        std::fprintf(stderr, "evenfall-load-once: %s\n", qPrintable(result.errorText));
        return 1;
    }
    qsizetype chars = 0;
    if (argc == 3)
        chars = modMain::BuildChatText(result.log.ChatLog, {QString::fromLocal8Bit(argv[2])}, {}).size();
    std::printf("%lld records, %lld characters built\n", static_cast<long long>(result.log.ChatLog.size()),
                static_cast<long long>(chars));
    return 0;
}
