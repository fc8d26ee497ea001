#pragma once

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <atomic>
#include <functional>

#include "LogFiles.h"
#include "TextOutput.h"
#include "modMain.h"

// What the commands share in reading logs and printing their lines: a read that reports its failures,
// the chats asked for, and a line as the reader shows it.
namespace chatlogcli {

class Terminal;
struct Invocation;

using LineSink = std::function<void(const modMain::LogLine &)>;

enum class ReadOutcome { Read, NoLines, Failed, Stopped };

// What a read's result means for a command; a failure is reported in one line naming the log as shown.
ReadOutcome readOutcome(const Terminal &terminal, const modMain::LoadResult &result, const QString &shown);

// Reads one opened log to its end, handing its lines (only those of onlyChats when given, and only those
// that may hold textContains when given) to sink; raising stop ends the read early. A failure is
// reported in one line naming the log as shown.
ReadOutcome readLog(const Terminal &terminal, QFile &file, const QString &shown, const LineSink &sink,
                    const QStringList &onlyChats = {}, const std::atomic<bool> *stop = nullptr,
                    const QString &textContains = {});

// Reads an opened log that must hold chat lines, as show and list want it; false when it could not
// be read or held none, which has been reported.
bool readWholeLog(const Terminal &terminal, QFile &file, const QString &path, const LineSink &sink,
                  const QStringList &onlyChats = {}, const std::atomic<bool> *stop = nullptr);

// Whether a log read as show and list want it (whole, with chat lines) was; says why not.
bool wholeLogRead(const Terminal &terminal, ReadOutcome outcome, const QString &path);

// Opens the log a command line names (LogFiles.h); false when it cannot, which has been reported.
bool openOrSay(const Terminal &terminal, QFile &file, const QString &path);

// The session logs of a folder (LogFiles.h); false when it cannot be listed or holds none, which has
// been reported.
bool sessionLogsOrSay(const Terminal &terminal, const QString &folder, QList<SessionLog> *logs);

// A chat name as one field of a row: a tab inside it would shift the columns.
QString field(QStringView name);
QString inQuotes(const QString &name);
// Each name in quotes, separated by commas.
QString inQuotes(const QStringList &names);

// A name given twice counts once: the window's merged chats never hold a name twice either.
QStringList distinct(const QStringList &names);

// Which of the chats asked for have shown up in the lines read so far.
class ChatsFound {
public:
    // wanted must outlive this.
    explicit ChatsFound(const QStringList &wanted) : wanted_(wanted), found_(wanted.size(), false) {}

    // The index of name among the chats asked for, or -1. Inline, as note(): they run for every line.
    qsizetype indexOf(QStringView name) const
    {
        for (qsizetype i = 0; i < wanted_.size(); ++i) {
            if (wanted_[i] == name)
                return i;
        }
        return -1;
    }
    // Notes a line of a chat asked for; true when it is the last of them to show up.
    bool note(qsizetype index)
    {
        if (missing_ == 0 || found_[index])
            return false;
        found_[index] = true;
        return --missing_ == 0;
    }
    bool all() const { return missing_ == 0; }
    QStringList missing() const;

private:
    const QStringList &wanted_;
    QList<bool> found_;
    qsizetype missing_ = wanted_.size();
};

// How show and history print a line.
struct LineStyle {
    bool timestamps = false;
    bool gameFeedback = true;
};

LineStyle lineStyle(const Invocation &call);

// Writes a line as the reader shows it. Inline: it runs for every line printed.
inline void writeLine(TextOutput &output, const modMain::LogLine &line, const LineStyle &style)
{
    if (style.timestamps)
        output.appendStamp(line.timeStamp);
    output.append(line.text());
    output.endLine();
}

} // namespace chatlogcli
