#pragma once

#include <QStringView>

// The line classifier shared by ParseChatLine and the loader. It works on a view and allocates nothing,
// so the loader can build records straight from its decode buffer.
namespace modMain::detail {

enum class LineKind : quint8 { Public, Channel, Tell };

struct LineShape {
    double timeStamp = 0.0;
    qsizetype textStart = 0;  // the record's Text is line.mid(textStart)
    LineKind kind = LineKind::Public;
    QStringView chatName;     // a view into the line, for channel and tell lines
    bool isGameFeedback = false;
};

LineShape ShapeOfLine(QStringView line);

} // namespace modMain::detail
