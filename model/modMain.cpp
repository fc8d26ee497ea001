#include "modMain.h"

#include "LineParser.h"

namespace modMain {
namespace detail {
namespace {

constexpr QStringView kFeedbackTexts[] = {
    u"You have gathered",
    u"You are too far away from the resource node to gather resources from it.",
    u"You have received",
};

// Views made once: one made from a literal where it is used measures the literal every time.
constexpr QStringView kTell = u"tell";
constexpr QStringView kTells = u"tells";

template <typename View> View trimSpaces(View s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && unitAt(s, b) == u' ')
        ++b;
    while (e > b && unitAt(s, e - 1) == u' ')
        --e;
    return s.sliced(b, e - b);
}

// The chat of the line from the working text (the line after its timestamp) on, into shape.
template <typename View> void shapeAfterTimestamp(View line, BasicLineShape<View> &shape)
{
    const View work = line.sliced(shape.textStart);
    const View trimmed = trimSpaces(work);
    if (trimmed.isEmpty())
        return; // nothing after the timestamp: a public line

    if (unitAt(trimmed, 0) == u'[') {
        shape.kind = LineKind::Channel;
        // The first "[" of the working text is the one that opens the trimmed text.
        const qsizetype cOpen = findChar(work, u'[');
        const qsizetype cClose = findChar(work, u']', cOpen + 1);
        if (cClose >= 0) {
            const View channel = work.sliced(cOpen + 1, cClose - cOpen - 1);
            // The name ends at the first ":" from the channel text's second character on.
            const qsizetype colon = findChar(channel, u':', 1);
            if (colon >= 0)
                shape.chatName = channel.first(colon);
        }
        return;
    }

    // Tokens 0 to 2 of the trimmed text split at single spaces; a tell needs at least three tokens.
    const qsizetype s1 = findChar(trimmed, u' ');
    const qsizetype s2 = s1 >= 0 ? findChar(trimmed, u' ', s1 + 1) : -1;
    if (s2 >= 0) {
        const View token1 = trimmed.sliced(s1 + 1, s2 - s1 - 1);
        if (isText(token1, kTell)) {
            const qsizetype s3 = findChar(trimmed, u' ', s2 + 1);
            const View token2 = trimmed.sliced(s2 + 1, (s3 >= 0 ? s3 : trimmed.size()) - s2 - 1);
            if (!token2.isEmpty()) { // a tell to nobody is read as a public line
                shape.kind = LineKind::Tell;
                shape.chatName = token2.chopped(1);
                return;
            }
        } else if (isText(token1, kTells)) {
            shape.kind = LineKind::Tell;
            shape.chatName = trimmed.first(s1);
            return;
        }
    }

    if (unitAt(trimmed, 0) == u'Y') { // all three feedback texts begin so
        for (QStringView feedback : kFeedbackTexts) {
            if (beginsWith(trimmed, feedback)) {
                shape.isGameFeedback = true;
                break;
            }
        }
    }
}

template <typename View> BasicLineShape<View> shapeOf(View line, DateCache *cache)
{
    BasicLineShape<View> shape;

    // Nearly every line opens with "[MM/dd/yyyy HH:mm:ss]". When that stamp parses, its brackets are
    // the first "[" and the first "]" after it (a stamp that parses holds neither), so no search is
    // needed.
    constexpr qsizetype kStampEnd = 20;
    if (line.size() > kStampEnd && unitAt(line, 0) == u'[' && unitAt(line, kStampEnd) == u']' &&
        parseTimestamp(line.sliced(1, kStampEnd - 1), &shape.timeStamp, cache)) {
        shape.textStart = kStampEnd + 1;
        shapeAfterTimestamp(line, shape);
        return shape;
    }
    // Timestamp: between the first "[" and the first "]" after it. A "]" without "[" still cuts the
    // line after it. A bracketed text that is no date is not a timestamp: the line is then read whole,
    // so a channel line written without a timestamp stays a channel line.
    const qsizetype open = findChar(line, u'[');
    const qsizetype close = findChar(line, u']', open >= 0 ? open + 1 : 0);
    if (close >= 0) {
        shape.textStart = close + 1;
        if (open >= 0 && close > open + 1) {
            if (!parseTimestamp(line.sliced(open + 1, close - open - 1), &shape.timeStamp, cache)) {
                shape.timeStamp = 0.0;
                shape.textStart = 0;
            }
        }
    }

    shapeAfterTimestamp(line, shape);
    return shape;
}

} // namespace

LineShape shapeOfLine(QStringView line, DateCache *cache)
{
    return shapeOf(line, cache);
}

ByteLineShape shapeOfBytes(QByteArrayView line, DateCache *cache)
{
    return shapeOf(line, cache);
}

} // namespace detail

ChatLine ParseChatLine(const QString &line)
{
    const detail::LineShape shape = detail::shapeOfLine(line);
    ChatLine record;
    record.TimeStamp = shape.timeStamp;
    record.Text = line.mid(shape.textStart);
    switch (shape.kind) {
    case detail::LineKind::Channel:
        record.IsChannel = true;
        record.ChatName = shape.chatName.toString();
        break;
    case detail::LineKind::Tell:
        record.IsTell = true;
        record.ChatName = shape.chatName.toString();
        break;
    case detail::LineKind::Public:
        record.ChatName = kPublicChatName;
        record.IsGameFeedback = shape.isGameFeedback;
        break;
    }
    return record;
}

QString ExtractDelimited(QString &text, const QString &openDelimiter, const QString &closeDelimiter,
                         bool consume)
{
    const QString &closing = closeDelimiter.isEmpty() ? openDelimiter : closeDelimiter;
    QString result;
    qsizetype q = -1; // 0-based position of the closing delimiter
    if (!openDelimiter.isEmpty()) {
        const qsizetype p = text.indexOf(openDelimiter, 0, Qt::CaseInsensitive);
        q = text.indexOf(closing, p >= 0 ? p + 1 : 0, Qt::CaseInsensitive);
        if (p >= 0 && q >= 0)
            result = text.mid(p + 1, q - p - 1);
    } else {
        q = text.size() > 1 ? text.indexOf(closing, 1, Qt::CaseInsensitive) : -1;
        if (q >= 0)
            result = text.left(q);
    }
    if (consume && q >= 0)
        text = text.mid(q + 1);
    return result;
}

QString AddTrailingBackslash(const QString &path)
{
#ifdef Q_OS_WIN
    // Windows takes "/" as a separator too, and Qt's dialogs hand paths back with it.
    return path.endsWith(u'\\') || path.endsWith(u'/') ? path : path + u'\\';
#else
    // Folders typed on other systems may end in either separator; the one added is the native one.
    return path.endsWith(u'\\') || path.endsWith(u'/') ? path : path + u'/';
#endif
}

} // namespace modMain
