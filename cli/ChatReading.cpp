#include "ChatReading.h"

#include "CommandTable.h"
#include "LogFiles.h"
#include "Terminal.h"
#include "TextOutput.h"

namespace chatlogcli {

ReadOutcome readOutcome(const Terminal &terminal, const modMain::LoadResult &result, const QString &shown)
{
    switch (result.status) {
    case modMain::LoadStatus::Loaded:
        return ReadOutcome::Read;
    case modMain::LoadStatus::NoLines:
        return ReadOutcome::NoLines;
    case modMain::LoadStatus::Cancelled:
        return ReadOutcome::Stopped;
    case modMain::LoadStatus::OutOfMemory:
        terminal.message(QStringLiteral("%1: not enough memory to load it").arg(shown));
        return ReadOutcome::Failed;
    case modMain::LoadStatus::FileError:
        break;
    }
    terminal.message(QStringLiteral("%1: %2").arg(shown, result.errorText));
    return ReadOutcome::Failed;
}

ReadOutcome readLog(const Terminal &terminal, QFile &file, const QString &shown, const LineSink &sink,
                    const QStringList &onlyChats, const std::atomic<bool> *stop, const QString &textContains)
{
    modMain::LoadOptions options;
    options.cancel = stop;
    return readOutcome(terminal, modMain::readLogLines(file, options, sink, onlyChats, textContains), shown);
}

bool wholeLogRead(const Terminal &terminal, ReadOutcome outcome, const QString &path)
{
    switch (outcome) {
    case ReadOutcome::Read:
    case ReadOutcome::Stopped:
        return true;
    case ReadOutcome::NoLines:
        terminal.message(QStringLiteral("%1: no chat lines").arg(shownName(path)));
        return false;
    case ReadOutcome::Failed:
        break;
    }
    return false;
}

bool readWholeLog(const Terminal &terminal, QFile &file, const QString &path, const LineSink &sink,
                  const QStringList &onlyChats, const std::atomic<bool> *stop)
{
    return wholeLogRead(terminal, readLog(terminal, file, shownName(path), sink, onlyChats, stop), path);
}

bool openOrSay(const Terminal &terminal, QFile &file, const QString &path)
{
    QString error;
    if (openLog(file, path, &error))
        return true;
    terminal.message(QStringLiteral("%1: %2").arg(shownName(path), error));
    return false;
}

bool sessionLogsOrSay(const Terminal &terminal, const QString &folder, QList<SessionLog> *logs)
{
    QString error;
    if (!sessionLogs(folder, logs, &error)) {
        terminal.message(QStringLiteral("%1: %2").arg(folder, error));
        return false;
    }
    if (logs->isEmpty()) {
        terminal.message(QStringLiteral("%1: no chat logs (client_chat_log_*.txt) in it").arg(folder));
        return false;
    }
    return true;
}

QString field(QStringView name)
{
    return name.toString().replace(u'\t', u' ');
}

QString inQuotes(const QString &name)
{
    return u'"' + name + u'"';
}

QString inQuotes(const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted.append(inQuotes(name));
    return quoted.join(QStringLiteral(", "));
}

QStringList distinct(const QStringList &names)
{
    QStringList once;
    for (const QString &name : names) {
        if (!once.contains(name))
            once.append(name);
    }
    return once;
}

QStringList ChatsFound::missing() const
{
    QStringList names;
    for (qsizetype i = 0; i < wanted_.size(); ++i) {
        if (!found_[i])
            names.append(wanted_[i]);
    }
    return names;
}

LineStyle lineStyle(const Invocation &call)
{
    // System lines have no mark in a log: --no-system leaves nothing out of what is read here.
    return {call.isSet(call.options.timestamps), !call.isSet(call.options.noGameFeedback)};
}

} // namespace chatlogcli
