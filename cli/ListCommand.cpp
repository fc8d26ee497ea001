// list: one row per chat of a log, with its number of lines and its first and last timestamp.

#include "ChatNameTable.h"
#include "ChatReading.h"
#include "CommandTable.h"

namespace chatlogcli {
namespace {

enum KindBit : unsigned { KindChannel = 1, KindTell = 2, KindPublic = 4 };

struct ChatSummary {
    qsizetype lines = 0;
    double first = 0.0; // 0: no line of the chat had a timestamp
    double last = 0.0;
    unsigned kinds = 0;
};

QString kindName(unsigned kinds)
{
    switch (kinds) {
    case KindChannel:
        return QStringLiteral("channel");
    case KindTell:
        return QStringLiteral("tell");
    case KindPublic:
        return QStringLiteral("public");
    default:
        // A name used both ways, say a channel and a player both called Orrik: the window shows them
        // as one chat, so the list does too, and says so rather than pick one.
        return QStringLiteral("mixed");
    }
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
    modMain::ChatNameTable names;
    QList<ChatSummary> chats;
    const auto count = [&](const modMain::LogLine &line) {
        const qsizetype index = names.intern(line.chatName);
        if (index == chats.size())
            chats.append(ChatSummary());
        ChatSummary &chat = chats[index];
        ++chat.lines;
        chat.kinds |= line.isChannel ? KindChannel : line.isTell ? KindTell : KindPublic;
        if (line.timeStamp != 0.0) {
            if (chat.first == 0.0)
                chat.first = line.timeStamp;
            chat.last = line.timeStamp;
        }
    };
    if (!readWholeLog(call.terminal, file, path, count))
        return ExitFailure;

    const bool withKind = call.isSet(call.options.kind);
    QString rows;
    for (qsizetype i = 0; i < chats.size(); ++i) {
        // The empty name stays an empty field.
        rows += field(names.names()[i]) + u'\t' + QString::number(chats[i].lines) + u'\t' +
                timestamp(chats[i].first) + u'\t' + timestamp(chats[i].last);
        if (withKind)
            rows += u'\t' + kindName(chats[i].kinds);
        rows += QStringLiteral("\r\n");
    }
    return call.terminal.print(rows);
}

} // namespace chatlogcli
