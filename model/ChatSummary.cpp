#include "ChatSummary.h"

#include <algorithm>

#include "modMain.h"

namespace modMain {

void summarizeChats(QList<ChatSummary> &summaries, const ChatLogRecords &log, qsizetype from,
                    QList<qsizetype> *touched)
{
    summaries.resize(log.chatNames().size());
    qsizetype first = 0; // the index of the segment's first record
    for (qsizetype s = 0; s < log.segmentCount(); ++s) {
        const ChatLogRecords::Segment &segment = log.segment(s);
        for (qsizetype i = std::max<qsizetype>(0, from - first); i < segment.size(); ++i) {
            ChatSummary &chat = summaries[segment.chat(i)];
            if (touched && chat.lastRecord < from) // its first record in this pass
                touched->append(segment.chat(i));
            ++chat.lines;
            chat.lastRecord = first + i;
            if (const double stamp = segment.timeStamp(i); stamp != 0.0) {
                if (chat.first == 0.0)
                    chat.first = stamp;
                chat.last = stamp;
            }
        }
        first += segment.size();
    }
}

QString describeChat(const ChatSummary &summary)
{
    QString text =
        summary.lines == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(summary.lines);
    if (summary.first == 0.0)
        return text;
    text += QStringLiteral(", ") + formatTimestamp(summary.first);
    if (summary.last != summary.first)
        text += QStringLiteral(" to ") + formatTimestamp(summary.last);
    return text;
}

bool nameBefore(const QString &a, const QString &b)
{
    const int caseless = a.compare(b, Qt::CaseInsensitive);
    return caseless != 0 ? caseless < 0 : a < b;
}

QStringList orderedChatNames(const LoadedChatLog &log, const QList<ChatSummary> &summaries, ChatOrder order)
{
    QStringList names = log.ChatNames;
    switch (order) {
    case ChatOrder::Appearance:
        break;
    case ChatOrder::Name:
        std::sort(names.begin(), names.end(), nameBefore);
        break;
    case ChatOrder::LastLine: {
        // Each name's last record looked up once, not at every comparison.
        QList<std::pair<qsizetype, qsizetype>> keys; // (last record, place in names)
        keys.reserve(names.size());
        for (qsizetype i = 0; i < names.size(); ++i) {
            const qsizetype chat = log.ChatLog.chatIndex(names[i]);
            keys.append({chat >= 0 && chat < summaries.size() ? summaries[chat].lastRecord : -1, i});
        }
        std::sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
        QStringList sorted;
        sorted.reserve(names.size());
        for (const auto &key : std::as_const(keys))
            sorted.append(names[key.second]);
        names = std::move(sorted);
        break;
    }
    }
    return names;
}

} // namespace modMain
