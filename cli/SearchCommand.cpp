// search: the lines whose text holds a pattern, in logs and in the session logs of folders.

#include "ChatReading.h"
#include "CommandTable.h"
#include "LogFiles.h"
#include "TextMatcher.h"
#include "TextOutput.h"

namespace chatlogcli {

int searchCommand(const Invocation &call)
{
    const Terminal &terminal = call.terminal;
    const QString &pattern = call.arguments[0];
    modMain::TextMatcher matcher(pattern, call.isSet(call.options.regex),
                                 call.isSet(call.options.ignoreCase));
    if (!matcher.isValid())
        return terminal.usageError(QStringLiteral("search: bad regular expression \"%1\": %2 at character %3")
                                       .arg(pattern, matcher.errorString())
                                       .arg(matcher.errorOffset() + 1));
    const QStringList chats = distinct(call.parser.values(call.options.chat));
    const bool timestamps = call.isSet(call.options.timestamps);

    TextOutput output(terminal.out());
    bool trouble = false, matched = false;
    QString gaveUp; // where the regular expression could not decide: the search ends there
    std::atomic<bool> stop = false;
    const auto searchLog = [&](const QString &path, const QString &shown) {
        QFile file;
        if (!openOrSay(terminal, file, path)) {
            trouble = true;
            return;
        }
        // The chat's field, made again only when the chat changes.
        QString chatField, leadChat;
        const auto pick = [&](const modMain::LogLine &line) {
            if (!gaveUp.isEmpty())
                return; // the lines the reader still hands on before it sees the stop
            switch (matcher.match(line.text())) {
            case modMain::TextMatcher::Result::NoMatch:
                return;
            case modMain::TextMatcher::Result::Undecided:
                // Never a line without a match: grep's rule, and a pattern that gives up on one line
                // likely gives up on many, each after the same long work.
                gaveUp = QStringLiteral("%1 line %2").arg(shown).arg(line.number);
                stop.store(true, std::memory_order_relaxed);
                return;
            case modMain::TextMatcher::Result::Match:
                break;
            }
            matched = true;
            if (chatField.isEmpty() || leadChat != line.chatName) {
                leadChat = line.chatName.toString();
                chatField = u'\t' + field(line.chatName) + u'\t';
            }
            // The file as the system names it, so that the name printed opens it.
            output.appendName(shown);
            output.append(chatField);
            if (timestamps)
                output.appendStamp(line.timeStamp);
            output.append(line.text());
            output.endLine();
            if (output.failed())
                stop.store(true, std::memory_order_relaxed);
        };
        // A log without chat lines has nothing to match.
        trouble = readLog(terminal, file, shown, pick, chats, &stop, matcher.requiredText()) ==
                      ReadOutcome::Failed ||
                  trouble;
    };

    for (const QString &path : call.arguments.mid(1)) {
        if (stop.load(std::memory_order_relaxed))
            break;
        if (!isFolder(path)) {
            searchLog(path, shownName(path));
            continue;
        }
        QList<SessionLog> logs;
        if (!sessionLogsOrSay(terminal, path, &logs))
            trouble = true;
        for (const SessionLog &log : std::as_const(logs)) {
            if (stop.load(std::memory_order_relaxed))
                break;
            searchLog(log.path, log.path);
        }
    }
    if (!output.finish()) {
        if (output.brokenPipe())
            return ExitBrokenPipe;
        terminal.message(output.message());
        return ExitUsage;
    }
    if (!gaveUp.isEmpty()) {
        terminal.message(QStringLiteral("search: %1: the regular expression gave up on %2 (too complex)")
                             .arg(pattern, gaveUp));
        return ExitUsage;
    }
    if (trouble)
        return ExitUsage;
    return matched ? ExitSuccess : ExitFailure;
}

} // namespace chatlogcli
