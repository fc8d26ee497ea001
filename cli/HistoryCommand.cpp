// history: chats across the session logs of a folder, one session after another.

#include "ChatReading.h"
#include "CommandTable.h"
#include "LogFiles.h"
#include "TextOutput.h"

namespace chatlogcli {

int historyCommand(const Invocation &call)
{
    const Terminal &terminal = call.terminal;
    const QString &folder = call.arguments[0];
    QList<SessionLog> logs;
    if (!sessionLogsOrSay(terminal, folder, &logs))
        return ExitFailure;

    TextOutput output(terminal.out());
    const QStringList selection = distinct(call.arguments.mid(1));
    ChatsFound found(selection);
    const LineStyle style = lineStyle(call);
    const bool headers = call.isSet(call.options.fileHeaders);
    bool failed = false;
    std::atomic<bool> stop = false;
    for (const SessionLog &log : std::as_const(logs)) {
        QFile file;
        if (!openOrSay(terminal, file, log.path)) {
            failed = true;
            continue;
        }
        bool headerDue = headers;
        const auto print = [&](const modMain::LogLine &line) {
            if (const qsizetype index = found.indexOf(line.chatName); index >= 0)
                found.note(index);
            if (line.isGameFeedback && !style.gameFeedback)
                return;
            if (headerDue) {
                headerDue = false;
                output.append(u"== ");
                output.appendName(log.name);
                output.append(u" ==");
                output.endLine();
            }
            writeLine(output, line, style);
            if (output.failed())
                stop.store(true, std::memory_order_relaxed);
        };
        // A log without chat lines (a session that ended at once) adds nothing and is no fault.
        const ReadOutcome outcome = readLog(terminal, file, log.path, print, selection, &stop);
        if (outcome == ReadOutcome::Stopped)
            break;
        failed = failed || outcome == ReadOutcome::Failed;
    }
    const int status = terminal.finish(output);
    if (status != ExitSuccess)
        return status;
    if (!found.all()) {
        terminal.message(
            QStringLiteral("%1: no chat named %2 in its logs").arg(folder, inQuotes(found.missing())));
        failed = true;
    }
    return failed ? ExitFailure : ExitSuccess;
}

} // namespace chatlogcli
