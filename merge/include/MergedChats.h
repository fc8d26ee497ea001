#pragma once

#include <QList>
#include <QStringList>

#include <optional>

// The table of merged chats. After a reset it holds exactly one Empty entry; the first merged chat goes
// into that entry and every later one is appended, so entry k is always row k of the merged-chat list.
class MergedChatTable {
public:
    // False until the first reset (the table is not allocated at start-up).
    bool isAllocated() const { return !entries_.isEmpty(); }

    // Discards every merged chat and leaves one Empty entry.
    void reset();

    // Number of entries, the Empty one included.
    qsizetype count() const { return entries_.size(); }

    // The names of entry index, or nullptr when that entry is Empty or does not exist.
    const QStringList *entry(qsizetype index) const;

    // Stores a copy of names as a new merged chat. An empty list is refused (returns false): a merged
    // chat has at least one name.
    bool store(const QStringList &names);

    // One label per filled entry, in table order: its names joined by "/".
    QStringList labels() const;

private:
    QList<std::optional<QStringList>> entries_;
};
