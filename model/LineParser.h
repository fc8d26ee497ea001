#pragma once

#include <QStringView>

#include "ChatNameTable.h" // detail::same, which the name table shares
#include "DateTime.h"

// The line classifier shared by ParseChatLine and the loader. It works on a view and allocates nothing,
// so the loader can build records straight from its decode buffer.
namespace modMain::detail {

enum class LineKind : quint8 { Public, Channel, Tell };

struct LineShape {
    double timeStamp = 0.0;
    qsizetype textStart = 0; // the record's Text is line.mid(textStart)
    LineKind kind = LineKind::Public;
    QStringView chatName; // a view into the line, for channel and tell lines
    bool isGameFeedback = false;
};

// cache, when given, keeps the last date's day serial between the lines of one load.
LineShape shapeOfLine(QStringView line, DateCache *cache = nullptr);

// Small inline searches and comparisons: the pieces of a line are a few characters long, where calling
// out to the general string functions costs more than the work itself.
inline qsizetype findChar(QStringView s, char16_t c, qsizetype from = 0)
{
    const char16_t *p = s.utf16();
    for (qsizetype i = from; i < s.size(); ++i) {
        if (p[i] == c)
            return i;
    }
    return -1;
}

inline bool beginsWith(QStringView s, QStringView prefix)
{
    return s.size() >= prefix.size() && same(s.first(prefix.size()), prefix);
}

} // namespace modMain::detail
