#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "ChatLogRecords.h"

namespace modMain {

struct LoadedChatLog;

// What the list of chats tells about each chat: its lines, the times of its first and last line that
// carry one, and where its last line is in the log.
struct ChatSummary {
    qsizetype lines = 0;
    double first = 0.0; // 0: none of its lines has a timestamp
    double last = 0.0;
    qsizetype lastRecord = -1; // the index of its last record in the log
};

// Brings summaries (indexed like log.chatNames()) up to date with the records of log from record from
// on, in one pass over their chats and timestamps, never their texts: from 0 with an empty list gives
// every chat's summary; after records were added at the end, from their first index adds them. With
// touched, the chats of those records are appended to it, each once.
void summarizeChats(QList<ChatSummary> &summaries, const ChatLogRecords &log, qsizetype from = 0,
                    QList<qsizetype> *touched = nullptr);

// "342 lines, 06/14/2005 21:03:17 to 06/14/2005 23:59:02": the lines, and the first and last times
// when any line has one ("1 line, 06/14/2005 21:03:17" when they are the same).
QString describeChat(const ChatSummary &summary);

// How the list of chats is ordered: as the chats first appear in the log, by name (ignoring case, then
// exactly), or the chat whose last line is latest in the log first.
enum class ChatOrder { Appearance, Name, LastLine };

// Whether a comes before b by name, as ChatOrder::Name orders them.
bool nameBefore(const QString &a, const QString &b);

// The chat names of log (its ChatNames) in order; summaries as summarizeChats gives them.
QStringList orderedChatNames(const LoadedChatLog &log, const QList<ChatSummary> &summaries, ChatOrder order);

} // namespace modMain
