// list: one row per chat of a log, with its number of lines and its first and last timestamp.

#include "ChatReading.h"
#include "CommandTable.h"
#include "LogFiles.h"

namespace chatlogcli {
namespace {

QString kindName(const modMain::ChatCount &chat)
{
    if (chat.channel + chat.tell + chat.publicChat > 1) {
        // A name used both ways, say a channel and a player both called Orrik: the window shows them
        // as one chat, so the list does too, and says so rather than pick one.
        return QStringLiteral("mixed");
    }
    return chat.channel ? QStringLiteral("channel")
           : chat.tell  ? QStringLiteral("tell")
                        : QStringLiteral("public");
}

QString timestamp(double days)
{
    return days != 0.0 ? modMain::formatTimestamp(days) : QString();
}

} // namespace

int listCommand(const Invocation &call)
{
    const QString &path = call.arguments[0];
    QFile file;
    if (!openOrSay(call.terminal, file, path))
        return ExitFailure;
    // Counted on the machine's cores, the lines kept nowhere.
    QStringList names;
    QList<modMain::ChatCount> chats;
    const modMain::LoadResult result = modMain::countChats(file, modMain::LoadOptions(), &names, &chats);
    if (!wholeLogRead(call.terminal, readOutcome(call.terminal, result, shownName(path)), path))
        return ExitFailure;

    const bool withKind = call.isSet(call.options.kind);
    QString rows;
    for (qsizetype i = 0; i < chats.size(); ++i) {
        // The empty name stays an empty field.
        rows += field(names[i]) + u'\t' + QString::number(chats[i].lines) + u'\t' +
                timestamp(chats[i].first) + u'\t' + timestamp(chats[i].last);
        if (withKind)
            rows += u'\t' + kindName(chats[i]);
        rows += QStringLiteral("\r\n");
    }
    return call.terminal.print(rows);
}

} // namespace chatlogcli
