#pragma once

#include <QHash>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <cstring>
#include <iterator>

// The chat-name table that the loader and the command line's readers share: every line of a log names
// its chat, so a name is looked up once per line, from a view into the line, and copied only when new.
namespace modMain {

namespace detail {

// An empty view may have no characters at all behind it (a null pointer), which memcmp must not see.
inline bool same(QStringView a, QStringView b)
{
    return a.size() == b.size() &&
           (a.isEmpty() || a.utf16() == b.utf16() ||
            std::memcmp(a.utf16(), b.utf16(), size_t(a.size()) * sizeof(char16_t)) == 0);
}

// Chat names as hash keys, with a cheap hash: names are short and hashed once per line.
struct NameKey {
    QStringView name;
    friend bool operator==(NameKey a, NameKey b) { return same(a.name, b.name); }
};

inline size_t qHash(NameKey key, size_t seed)
{
    size_t h = seed ^ 1469598103934665603ULL;
    for (QChar c : key.name) {
        h ^= c.unicode();
        h *= 1099511628211ULL;
    }
    return h;
}

} // namespace detail

// Chat names in order of first appearance, compared exactly (case and all).
class ChatNameTable {
public:
    ChatNameTable() { std::fill(std::begin(recent_), std::end(recent_), -1); }

    // The index of name in names(), added at the end when it is new.
    quint32 intern(QStringView name)
    {
        // A log has a few dozen chats: most lines find theirs in a small table, by a cheap mix of the
        // name's length and ends, without hashing the name. The last name looked up is always found there.
        qint64 &slot = recent_[recentSlot(name)];
        if (slot >= 0 && detail::same(names_[slot], name))
            return quint32(slot);
        auto it = index_.constFind(detail::NameKey{name});
        if (it == index_.cend()) {
            names_.append(name.toString());
            // The key views the table's string, whose characters stay where they are while the list
            // moves the strings around.
            it = index_.insert(detail::NameKey{names_.last()}, quint32(names_.size() - 1));
        }
        slot = *it;
        return *it;
    }

    const QStringList &names() const { return names_; }

private:
    static constexpr qsizetype kRecent = 61;

    static qsizetype recentSlot(QStringView name)
    {
        return name.isEmpty()
                   ? 0
                   : (name.size() * 7 + name.front().unicode() + name.back().unicode() * 3) % kRecent;
    }

    QStringList names_;
    QHash<detail::NameKey, quint32> index_;
    qint64 recent_[kRecent];
};

} // namespace modMain
