#pragma once

// The model's rules written the plain and slow way, step by step as they are stated, for the tests and
// the fuzz targets to hold the real, fast code against.

#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include "DateTime.h"
#include "TextCodec.h"
#include "modMain.h"

namespace reference {

// FindNearest as its rules describe it: two cursors moving out one character a pass, both compared
// in every pass (without regard to case), the backward match assigned last; presence decided exactly.
inline qsizetype findNearest(const QString &text, const QString &find, qsizetype position, qsizetype range)
{
    if (!(text.contains(find, Qt::CaseSensitive) && !text.isEmpty() && !find.isEmpty()))
        return -1;
    const qsizetype n = find.size(), length = text.size();
    const qsizetype s = position < 1 ? 1 : (position > length ? length : position);
    const qsizetype r = range == -1 ? length : range;
    qsizetype f = s, b = s, result = -1;
    bool forwardDone = false, backwardDone = false, found = false;
    while (!found && !(forwardDone && backwardDone)) {
        if (text.mid(f - 1, n).compare(find, Qt::CaseInsensitive) == 0) {
            found = true;
            result = f;
        }
        if (text.mid(b - 1, n).compare(find, Qt::CaseInsensitive) == 0) {
            found = true;
            result = b;
        }
        if (f - s < r && f < length)
            ++f;
        else
            forwardDone = true;
        if (s - b < r && b > 1)
            --b;
        else
            backwardDone = true;
    }
    return found ? result : -1;
}

// BuildChatText record by record and selection entry by entry, appending to one string; log is a list
// of records or a loaded log.
template <typename Log>
QString chatText(const Log &log, const QStringList &selection, const modMain::DisplayOptions &options)
{
    QString text;
    for (const modMain::ChatLine &record : log) {
        for (const QString &entry : selection) {
            if (entry != record.ChatName)
                continue;
            if ((record.IsGameFeedback && !options.DisplayGameFeedback) ||
                (record.IsSystem && !options.DisplaySystem))
                continue;
            if (options.ShowTimestamp)
                text += u'[' + modMain::formatTimestamp(record.TimeStamp) + u']';
            text += record.Text + QStringLiteral("\r\n");
        }
    }
    return text;
}

// The characters of a whole log file decoded in one go: by its byte-order mark, else in the ANSI code
// page. An odd byte at the end of UTF-16 is a cut character, U+FFFD.
inline QString decodeWhole(QByteArrayView bytes)
{
    qsizetype mark = 0;
    const modMain::LogEncoding encoding = modMain::detectEncoding(bytes, &mark);
    bytes = bytes.sliced(mark);
    const auto flags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    switch (encoding) {
    case modMain::LogEncoding::Ansi:
        return modMain::decodeAnsi(bytes);
    case modMain::LogEncoding::Utf8:
        return QStringDecoder(QStringConverter::Utf8, flags).decode(bytes);
    case modMain::LogEncoding::Utf16LE:
    case modMain::LogEncoding::Utf16BE: {
        const bool odd = bytes.size() % 2 != 0;
        QString text = QStringDecoder(encoding == modMain::LogEncoding::Utf16LE ? QStringConverter::Utf16LE
                                                                                : QStringConverter::Utf16BE,
                                      flags)
                           .decode(bytes.first(bytes.size() - (odd ? 1 : 0)));
        return odd ? text + QChar(QChar::ReplacementCharacter) : text;
    }
    }
    return QString();
}

// The lines that become records: split at CR LF, LF or a lone CR, the first line and empty ones left out.
// numbers, when given, gets the number of each in the text (the first line is 1, empty ones count).
inline QStringList recordLines(const QString &text, QList<qint64> *numbers = nullptr)
{
    QStringList lines;
    QString line;
    bool header = true;
    qint64 number = 0;
    auto endLine = [&] {
        ++number;
        if (!header && !line.isEmpty()) {
            lines.append(line);
            if (numbers)
                numbers->append(number);
        }
        header = false;
        line.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            endLine();
        } else {
            line += text[i];
        }
    }
    if (!line.isEmpty())
        endLine();
    return lines;
}

// What LoadChatLog makes of a file's bytes: ParseChatLine of every record line, and the distinct names in
// order of first appearance.
inline modMain::LoadedChatLog load(QByteArrayView bytes)
{
    modMain::LoadedChatLog log;
    for (const QString &line : recordLines(decodeWhole(bytes))) {
        log.ChatLog.append(modMain::ParseChatLine(line));
        if (!log.ChatNames.contains(log.ChatLog.last().ChatName))
            log.ChatNames.append(log.ChatLog.last().ChatName);
    }
    return log;
}

inline bool sameRecord(const modMain::ChatLine &a, const modMain::ChatLine &b)
{
    return a.Text == b.Text && a.ChatName == b.ChatName && a.TimeStamp == b.TimeStamp &&
           a.IsChannel == b.IsChannel && a.IsTell == b.IsTell && a.IsGameFeedback == b.IsGameFeedback &&
           a.IsSystem == b.IsSystem;
}

// The index of the first record that differs, or -1 when both logs hold the same records and names.
inline qsizetype firstDifference(const modMain::LoadedChatLog &a, const modMain::LoadedChatLog &b)
{
    const qsizetype common = std::min(a.ChatLog.size(), b.ChatLog.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (!sameRecord(a.ChatLog[i], b.ChatLog[i]))
            return i;
    }
    if (a.ChatLog.size() != b.ChatLog.size() || a.ChatNames != b.ChatNames)
        return common;
    return -1;
}

} // namespace reference
