#include <QHash>

#include <new>

#include "ReadInParts.h"

// countChats: a log's lines classified on the machine's cores and counted by chat, nothing kept.
namespace modMain {
namespace {

using detail::LineKind;

// Counts the lines of one log, or of one part of a file, by chat.
class ChatCounter {
public:
    void expect(qint64 /*bytes*/) {}
    bool empty() const { return counts_.isEmpty(); }

    void addLine(QStringView line, qint64 /*number*/) { count(detail::shapeOfLine(line, &chats_.dates)); }
    void addBytes(QByteArrayView line, qint64 /*number*/)
    {
        count(detail::shapeOfBytes(line, &chats_.dates));
    }

    const QStringList &names() const { return chats_.names(); }
    QList<ChatCount> &counts() { return counts_; }

private:
    template <typename Shape> void count(const Shape &shape)
    {
        const quint32 chat = chats_.of(shape);
        if (chat == quint32(counts_.size()))
            counts_.append(ChatCount());
        ChatCount &counted = counts_[chat];
        ++counted.lines;
        counted.channel |= shape.kind == LineKind::Channel;
        counted.tell |= shape.kind == LineKind::Tell;
        counted.publicChat |= shape.kind == LineKind::Public;
        if (shape.timeStamp != 0.0) {
            if (counted.first == 0.0)
                counted.first = shape.timeStamp;
            counted.last = shape.timeStamp;
        }
    }

    detail::LineChats chats_;
    QList<ChatCount> counts_;
};

// The counts of the parts in file order, each part's chats found by name among those before it.
void join(QList<ChatCounter> &parts, QStringList *names, QList<ChatCount> *counts)
{
    QHash<QString, qsizetype> known;
    for (ChatCounter &part : parts) {
        for (qsizetype i = 0; i < part.names().size(); ++i) {
            const ChatCount &more = part.counts()[i];
            const auto found = known.constFind(part.names()[i]);
            if (found == known.cend()) {
                known.insert(part.names()[i], names->size());
                names->append(part.names()[i]);
                counts->append(more);
                continue;
            }
            ChatCount &counted = (*counts)[*found];
            counted.lines += more.lines;
            counted.channel |= more.channel;
            counted.tell |= more.tell;
            counted.publicChat |= more.publicChat;
            if (counted.first == 0.0)
                counted.first = more.first;
            if (more.last != 0.0)
                counted.last = more.last;
        }
    }
}

LoadResult count(QIODevice &device, const LoadOptions &options, QStringList *names, QList<ChatCount> *counts)
{
    QList<ChatCounter> parts;
    LoadResult result;
    const detail::PartPlan plan = detail::planParts(device, options);
    if (plan.parts > 1) {
        result = detail::readInParts(*plan.file, plan.handle, plan.parts, plan.threads, options, &parts);
    } else {
        parts.resize(1);
        result = detail::readInOneGo(device, options, parts.first());
    }
    if (result.status != LoadStatus::Loaded)
        return result;
    join(parts, names, counts);
    if (names->isEmpty())
        result.status = LoadStatus::NoLines;
    return result;
}

} // namespace

LoadResult countChats(QIODevice &device, const LoadOptions &options, QStringList *names,
                      QList<ChatCount> *counts)
{
    names->clear();
    counts->clear();
    try {
        return count(device, options, names, counts);
    } catch (const std::bad_alloc &) {
        names->clear();
        counts->clear();
        return detail::failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
}

} // namespace modMain
