#include "MergedChats.h"

void MergedChatTable::reset()
{
    entries_.clear();
    entries_.append(std::nullopt);
}

const QStringList *MergedChatTable::entry(qsizetype index) const
{
    if (index < 0 || index >= entries_.size() || !entries_[index])
        return nullptr;
    return &*entries_[index];
}

bool MergedChatTable::store(const QStringList &names)
{
    if (names.isEmpty())
        return false;
    if (entries_.isEmpty())
        reset();
    if (!entries_.first())
        entries_.first() = names;
    else
        entries_.append(names);
    return true;
}

QStringList MergedChatTable::labels() const
{
    QStringList labels;
    for (const std::optional<QStringList> &entry : entries_) {
        if (entry)
            labels.append(entry->join(u'/'));
    }
    return labels;
}
