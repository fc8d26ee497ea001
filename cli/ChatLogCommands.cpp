#include "ChatLogCommands.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>

#include "LocalFiles.h"
#include "LogFiles.h"
#include "NativeNames.h"
#include "PlatformPaths.h"
#include "TextMatcher.h"
#include "TextOutput.h"
#include "modMain.h"

namespace chatlogcli {
namespace {

const QString kProgram = QStringLiteral("evenfall-chatlog");

enum class Command { None, List, Show, History, Search };

struct Options {
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version and exit.")};
    QCommandLineOption kind{
        QStringLiteral("kind"),
        QStringLiteral("Add a last column with the chat's kind: channel, tell, public, or "
                       "mixed when its lines are of more than one kind.")};
    QCommandLineOption timestamps{QStringLiteral("timestamps"),
                                  QStringLiteral("Begin every line with its timestamp in brackets.")};
    QCommandLineOption noGameFeedback{
        QStringLiteral("no-game-feedback"),
        QStringLiteral("Leave out the game's feedback lines of the public chat.")};
    QCommandLineOption noSystem{QStringLiteral("no-system"), QStringLiteral("Leave out system lines.")};
    QCommandLineOption allowMissing{QStringLiteral("allow-missing"),
                                    QStringLiteral("Skip names that match no chat instead of failing.")};
    QCommandLineOption output{QStringLiteral("output"),
                              QStringLiteral("Write the text to <path> as the reader's Save does (the log's "
                                             "encoding, CR LF line ends), replacing the file in one step, "
                                             "instead of to standard output."),
                              QStringLiteral("path")};
    QCommandLineOption fileHeaders{
        QStringLiteral("file-headers"),
        QStringLiteral("Print a line \"== NAME ==\" before the first line shown of each log.")};
    QCommandLineOption chat{QStringLiteral("chat"),
                            QStringLiteral("Search only the chat <name>; may be given more than once."),
                            QStringLiteral("name")};
    QCommandLineOption ignoreCase{QStringLiteral("ignore-case"),
                                  QStringLiteral("Match without regard to the case of letters.")};
    QCommandLineOption regex{QStringLiteral("regex"),
                             QStringLiteral("PATTERN is a regular expression (Perl's syntax) instead of a "
                                            "fixed string.")};
};

const QString kListHelp =
    QStringLiteral("One row per chat, in order of first appearance: name, number of lines, first and last\n"
                   "timestamp (of the chat's first and last line that has one; empty when none has),\n"
                   "separated by tabs. The chat of the channels without a name is an empty first field.");

const QString kShowHelp = QStringLiteral(
    "The text of the chats as the reader shows it, whole, merged in file order when several.\n"
    "Names are matched exactly, as list prints them: \"\" is the chat of the channels without\n"
    "a name; put -- before a name that starts with -.");

const QString kHistoryHelp =
    QStringLiteral("The lines of the chats across all logs client_chat_log_*.txt of FOLDER, one session\n"
                   "after another in the order of the logs' names, printed as show prints them. A chat\n"
                   "that no log holds is named on standard error and the status is 1.");

const QString kSearchHelp = QStringLiteral(
    "The lines whose text (after the timestamp) contains PATTERN, each as FILE, CHAT and\n"
    "the line separated by tabs. A PATH that is a folder means its logs client_chat_log_*.txt\n"
    "in the order of their names; FILE is then the folder as given and the log's name.\n"
    "Exit status 0 with matches, 1 without, 2 for a wrong command line, a log that\n"
    "cannot be read, or a line on which the regular expression gave up (too complex),\n"
    "where the search stops.");

QString description(Command command)
{
    switch (command) {
    case Command::List:
        return kListHelp;
    case Command::Show:
        return kShowHelp;
    case Command::History:
        return kHistoryHelp;
    case Command::Search:
        return kSearchHelp;
    case Command::None:
        break;
    }
    QString text = QStringLiteral("Reads Evenfall chat logs as the Chat Log Reader does.\n\nCommands:\n");
    for (const auto &[name, help] : {std::pair{QStringLiteral("list FILE"), kListHelp},
                                     std::pair{QStringLiteral("show FILE CHAT..."), kShowHelp},
                                     std::pair{QStringLiteral("history FOLDER CHAT..."), kHistoryHelp},
                                     std::pair{QStringLiteral("search PATTERN PATH..."), kSearchHelp}}) {
        text += QStringLiteral("  %1\n").arg(name);
        for (const QString &line : help.split(u'\n'))
            text += QStringLiteral("      %1\n").arg(line);
    }
    return text + QStringLiteral("\nRun '%1 COMMAND --help' for the options of a command.").arg(kProgram);
}

void configure(QCommandLineParser &parser, const Options &options, Command command, bool allOptions)
{
    parser.setApplicationDescription(description(command));
    parser.addOption(options.help);
    parser.addOption(options.version);
    const auto any = [&](std::initializer_list<Command> commands) {
        return allOptions || std::find(commands.begin(), commands.end(), command) != commands.end();
    };
    if (any({Command::List}))
        parser.addOption(options.kind);
    if (any({Command::Show, Command::History, Command::Search}))
        parser.addOption(options.timestamps);
    if (any({Command::Show, Command::History}))
        parser.addOptions({options.noGameFeedback, options.noSystem});
    if (any({Command::Show}))
        parser.addOptions({options.allowMissing, options.output});
    if (any({Command::History}))
        parser.addOption(options.fileHeaders);
    if (any({Command::Search}))
        parser.addOptions({options.chat, options.ignoreCase, options.regex});

    const QString log = QStringLiteral("The chat log to read; - reads standard input.");
    switch (command) {
    case Command::None:
        parser.addPositionalArgument(QStringLiteral("command"),
                                     QStringLiteral("list, show, history or search."),
                                     QStringLiteral("command [arguments]"));
        break;
    case Command::List:
        parser.addPositionalArgument(QStringLiteral("list"), QStringLiteral("List the chats of the log."));
        parser.addPositionalArgument(QStringLiteral("file"), log);
        break;
    case Command::Show:
        parser.addPositionalArgument(QStringLiteral("show"), QStringLiteral("Print the text of chats."));
        parser.addPositionalArgument(QStringLiteral("file"), log);
        parser.addPositionalArgument(QStringLiteral("chat"),
                                     QStringLiteral("The chats to show, merged in file order."),
                                     QStringLiteral("chat [chat...]"));
        break;
    case Command::History:
        parser.addPositionalArgument(QStringLiteral("history"),
                                     QStringLiteral("Print chats across the sessions of a folder."));
        parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder of the logs."));
        parser.addPositionalArgument(QStringLiteral("chat"),
                                     QStringLiteral("The chats to show, merged in file order."),
                                     QStringLiteral("chat [chat...]"));
        break;
    case Command::Search:
        parser.addPositionalArgument(QStringLiteral("search"),
                                     QStringLiteral("Print the lines that contain a text."));
        parser.addPositionalArgument(QStringLiteral("pattern"), QStringLiteral("The text to look for."));
        parser.addPositionalArgument(QStringLiteral("path"),
                                     QStringLiteral("Logs, or folders of logs; - reads standard input."),
                                     QStringLiteral("path [path...]"));
        break;
    }
}

// Where output and messages go: text to out, messages and usage errors to err.
class Terminal {
public:
    Terminal(std::FILE *out, std::FILE *err) : out_(out), err_(err) {}

    std::FILE *out() const { return out_; }

    // File names in text go out as the bytes the system holds (see NativeNames.h).
    void message(const QString &text) const
    {
        std::fputs(nativenames::toNative(kProgram + QStringLiteral(": ") + text + u'\n').constData(), err_);
        std::fflush(err_);
    }

    int usageError(const QString &text) const
    {
        message(text);
        std::fputs(QStringLiteral("Try '%1 --help'.\n").arg(kProgram).toUtf8().constData(), err_);
        return ExitUsage;
    }

    // Ends output: ExitSuccess when all of it was written; otherwise says why (unless nobody is left
    // to read it) and returns the status for it.
    int finish(TextOutput &output) const
    {
        if (output.finish())
            return ExitSuccess;
        if (output.brokenPipe())
            return ExitBrokenPipe; // nobody is left to read a message about it either
        message(output.message());
        return ExitFailure;
    }

    // Text with CR LF line ends, as the model builds it.
    int print(QStringView text) const
    {
        TextOutput output(out_);
        output.appendLines(text);
        return finish(output);
    }

    // Qt's help text ends its lines with LF alone.
    int printLines(QString text) const { return print(text.replace(u'\n', QStringLiteral("\r\n"))); }

private:
    std::FILE *out_;
    std::FILE *err_;
};

// Chat names in order of first appearance, each found again without copying it.
class ChatNames {
public:
    ChatNames() { std::fill(std::begin(recent_), std::end(recent_), -1); }

    // The index of name, added when it is new.
    qsizetype indexOf(QStringView name)
    {
        // A log has a few dozen chats: most lines find theirs in a small table without hashing the name.
        qsizetype &slot =
            recent_[name.isEmpty()
                        ? 0
                        : (name.size() * 7 + name.front().unicode() + name.back().unicode() * 3) % kRecent];
        if (slot >= 0 && same(names_[slot], name))
            return slot;
        auto at = index_.constFind(name);
        if (at == index_.cend()) {
            names_.append(name.toString());
            // A QString's characters stay where they are while the list moves the strings around.
            at = index_.insert(QStringView(names_.last()), names_.size() - 1);
        }
        slot = *at;
        return slot;
    }
    const QStringList &names() const { return names_; }

private:
    static bool same(QStringView a, QStringView b)
    {
        return a.size() == b.size() &&
               (a.isEmpty() || std::memcmp(a.utf16(), b.utf16(), size_t(a.size()) * sizeof(char16_t)) == 0);
    }

    static constexpr qsizetype kRecent = 61;
    QStringList names_;
    QHash<QStringView, qsizetype> index_;
    qsizetype recent_[kRecent];
};

using LineSink = std::function<void(const modMain::LogLine &)>;

enum class ReadOutcome { Read, NoLines, Failed, Stopped };

// Reads one opened log to its end, handing its lines (only those of onlyChats when given) to sink;
// raising stop ends the read early. A failure is reported in one line naming the log.
ReadOutcome readLog(const Terminal &terminal, QFile &file, const QString &shown, const LineSink &sink,
                    const QStringList &onlyChats = {}, const std::atomic<bool> *stop = nullptr,
                    const QString &textContains = {})
{
    modMain::LoadOptions options;
    options.cancel = stop;
    const modMain::LoadResult result = modMain::readLogLines(file, options, sink, onlyChats, textContains);
    switch (result.status) {
    case modMain::LoadStatus::Loaded:
        return ReadOutcome::Read;
    case modMain::LoadStatus::NoLines:
        return ReadOutcome::NoLines;
    case modMain::LoadStatus::Cancelled:
        return ReadOutcome::Stopped;
    case modMain::LoadStatus::OutOfMemory:
        terminal.message(QStringLiteral("%1: not enough memory to load it").arg(shown));
        return ReadOutcome::Failed;
    case modMain::LoadStatus::FileError:
        break;
    }
    terminal.message(QStringLiteral("%1: %2").arg(shown, result.errorText));
    return ReadOutcome::Failed;
}

// Opens and reads a log that must hold chat lines, as show and list want it; false when it could not
// be read or held none, which has been reported.
bool readWholeLog(const Terminal &terminal, QFile &file, const QString &path, const LineSink &sink,
                  const QStringList &onlyChats = {}, const std::atomic<bool> *stop = nullptr)
{
    switch (readLog(terminal, file, shownName(path), sink, onlyChats, stop)) {
    case ReadOutcome::Read:
    case ReadOutcome::Stopped:
        return true;
    case ReadOutcome::NoLines:
        terminal.message(QStringLiteral("%1: no chat lines").arg(shownName(path)));
        return false;
    case ReadOutcome::Failed:
        break;
    }
    return false;
}

bool openOrSay(const Terminal &terminal, QFile &file, const QString &path)
{
    QString error;
    if (openLog(file, path, &error))
        return true;
    terminal.message(QStringLiteral("%1: %2").arg(shownName(path), error));
    return false;
}

enum KindBit : unsigned { KindChannel = 1, KindTell = 2, KindPublic = 4 };

struct ChatSummary {
    qsizetype lines = 0;
    double first = 0.0; // 0: no line of the chat had a timestamp
    double last = 0.0;
    unsigned kinds = 0;
};

QString kindName(unsigned kinds)
{
    switch (kinds) {
    case KindChannel:
        return QStringLiteral("channel");
    case KindTell:
        return QStringLiteral("tell");
    case KindPublic:
        return QStringLiteral("public");
    default:
        // A name used both ways, say a channel and a player both called Orrik: the window shows them
        // as one chat, so the list does too, and says so rather than pick one.
        return QStringLiteral("mixed");
    }
}

QString timestamp(double days)
{
    return days != 0.0 ? modMain::formatTimestamp(days) : QString();
}

// A chat name as one field of a row: a tab inside it would shift the columns.
QString field(QStringView name)
{
    return name.toString().replace(u'\t', u' ');
}

int list(const Terminal &terminal, const QString &path, bool withKind)
{
    QFile file;
    if (!openOrSay(terminal, file, path))
        return ExitFailure;
    ChatNames names;
    QList<ChatSummary> chats;
    const auto count = [&](const modMain::LogLine &line) {
        const qsizetype index = names.indexOf(line.chatName);
        if (index == chats.size())
            chats.append(ChatSummary());
        ChatSummary &chat = chats[index];
        ++chat.lines;
        chat.kinds |= line.isChannel ? KindChannel : line.isTell ? KindTell : KindPublic;
        if (line.timeStamp != 0.0) {
            if (chat.first == 0.0)
                chat.first = line.timeStamp;
            chat.last = line.timeStamp;
        }
    };
    if (!readWholeLog(terminal, file, path, count))
        return ExitFailure;

    QString rows;
    for (qsizetype i = 0; i < chats.size(); ++i) {
        // The empty name stays an empty field.
        rows += field(names.names()[i]) + u'\t' + QString::number(chats[i].lines) + u'\t' +
                timestamp(chats[i].first) + u'\t' + timestamp(chats[i].last);
        if (withKind)
            rows += u'\t' + kindName(chats[i].kinds);
        rows += QStringLiteral("\r\n");
    }
    return terminal.print(rows);
}

QString inQuotes(const QString &name)
{
    return u'"' + name + u'"';
}

// A name given twice counts once: the window's merged chats never hold a name twice either.
QStringList distinct(const QStringList &names)
{
    QStringList once;
    for (const QString &name : names) {
        if (!once.contains(name))
            once.append(name);
    }
    return once;
}

// Which of the chats asked for have shown up in the lines read so far.
class ChatsFound {
public:
    explicit ChatsFound(const QStringList &wanted) : wanted_(wanted), found_(wanted.size(), false) {}

    // The index of name among the chats asked for, or -1.
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
    QStringList missing() const
    {
        QStringList names;
        for (qsizetype i = 0; i < wanted_.size(); ++i) {
            if (!found_[i])
                names.append(wanted_[i]);
        }
        return names;
    }

private:
    const QStringList &wanted_;
    QList<bool> found_;
    qsizetype missing_ = wanted_.size();
};

struct LineStyle {
    bool timestamps = false;
    bool gameFeedback = true;
};

// Writes a line as the reader shows it.
void writeLine(TextOutput &output, const modMain::LogLine &line, const LineStyle &style)
{
    if (style.timestamps)
        output.appendStamp(line.timeStamp);
    output.append(line.text());
    output.endLine();
}

LineStyle lineStyle(const QCommandLineParser &parser, const Options &options)
{
    // System lines have no mark in a log: --no-system leaves nothing out of what is read here.
    return {parser.isSet(options.timestamps), !parser.isSet(options.noGameFeedback)};
}

int show(const Terminal &terminal, const QCommandLineParser &parser, const Options &options,
         const QString &path, const QStringList &names)
{
    const QString target = parser.value(options.output);
    const bool toFile = parser.isSet(options.output);
    if (toFile) {
        // Checked before anything is read. The same file by another name (a link) counts too.
#ifdef Q_OS_UNIX
        const bool same = localfiles::sameFile(
            path == kStandardInput ? QByteArray("/dev/stdin") : nativePath(path), nativePath(target));
#else
        bool same = false;
        if (path == kStandardInput) {
            // By its handle: a file redirected into standard input has no name here.
            QFile input;
            if (input.open(_fileno(stdin), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
                const localfiles::FileIdentity read = localfiles::identityOf(input);
                same = read.valid && read == localfiles::identityOf(nativePath(target));
            }
        } else {
            same = localfiles::sameFile(nativePath(path), nativePath(target));
        }
#endif
        if (same) {
            terminal.message(QStringLiteral("%1: refusing to overwrite the log being read").arg(target));
            return ExitFailure;
        }
        // The atomic replace goes by Qt's file names, which cannot hold every byte.
        if (nativenames::hasRawBytes(target)) {
            terminal.message(
                QStringLiteral("%1: cannot write to a file name that is not valid UTF-8").arg(target));
            return ExitFailure;
        }
    }

    QFile file;
    if (!openOrSay(terminal, file, path))
        return ExitFailure;

    // Exactly the lines shown, so an empty chat gives an empty file. The window's save adds one CR LF
    // after the text on view; for an export that would be an empty line no chat ever had, and files
    // joined end to end would gain blank lines between them.
    TextOutput output =
        toFile ? TextOutput(platformpaths::commandLinePath(target), target) : TextOutput(terminal.out());
    const QStringList selection = distinct(names);
    ChatsFound found(selection);
    const bool allowMissing = parser.isSet(options.allowMissing);
    // Nothing goes out while a name may still turn out unknown: that fails the whole command.
    if (!allowMissing)
        output.hold();
    const LineStyle style = lineStyle(parser, options);

    // A file can be read again to name its chats when a name is unknown; a pipe cannot, so its
    // chats are noted as it goes and its lines are picked here.
    const bool again = !file.isSequential();
    const qint64 start = file.pos();
    ChatNames seen;
    std::atomic<bool> stop = false;
    const auto pick = [&](const modMain::LogLine &line) {
        if (!again)
            seen.indexOf(line.chatName);
        const qsizetype index = found.indexOf(line.chatName);
        if (index < 0)
            return;
        if (found.note(index) && !allowMissing)
            output.release();
        if (!line.isGameFeedback || style.gameFeedback)
            writeLine(output, line, style);
        if (output.failed())
            stop.store(true, std::memory_order_relaxed);
    };
    if (!readWholeLog(terminal, file, path, pick, again ? selection : QStringList(), &stop))
        return ExitFailure;
    if (!output.failed() && !found.all() && !allowMissing) {
        output.drop();
        if (again) {
            file.seek(start);
            readLog(terminal, file, shownName(path),
                    [&](const modMain::LogLine &line) { seen.indexOf(line.chatName); });
        }
        QStringList quoted;
        for (const QString &name : found.missing())
            quoted.append(inQuotes(name));
        QString message = QStringLiteral("%1: no chat named %2; the chats in it are:")
                              .arg(shownName(path), quoted.join(QStringLiteral(", ")));
        for (const QString &name : seen.names())
            message += QStringLiteral("\n  ") + inQuotes(name);
        terminal.message(message);
        return ExitFailure;
    }
    return terminal.finish(output);
}

int history(const Terminal &terminal, const QCommandLineParser &parser, const Options &options,
            const QString &folder, const QStringList &names)
{
    QList<SessionLog> logs;
    QString error;
    if (!sessionLogs(folder, &logs, &error)) {
        terminal.message(QStringLiteral("%1: %2").arg(folder, error));
        return ExitFailure;
    }
    if (logs.isEmpty()) {
        terminal.message(QStringLiteral("%1: no chat logs (client_chat_log_*.txt) in it").arg(folder));
        return ExitFailure;
    }

    TextOutput output(terminal.out());
    const QStringList selection = distinct(names);
    ChatsFound found(selection);
    const LineStyle style = lineStyle(parser, options);
    const bool headers = parser.isSet(options.fileHeaders);
    bool failed = false;
    std::atomic<bool> stop = false;
    for (const SessionLog &log : std::as_const(logs)) {
        QFile file;
        if (!openOrSay(terminal, file, log.path)) {
            failed = true;
            continue;
        }
        bool headerDue = headers;
        const auto print = [&](const modMain::LogLine &line) {
            if (const qsizetype index = found.indexOf(line.chatName); index >= 0)
                found.note(index);
            if (line.isGameFeedback && !style.gameFeedback)
                return;
            if (headerDue) {
                headerDue = false;
                output.append(u"== ");
                output.appendName(log.name);
                output.append(u" ==");
                output.endLine();
            }
            writeLine(output, line, style);
            if (output.failed())
                stop.store(true, std::memory_order_relaxed);
        };
        // A log without chat lines (a session that ended at once) adds nothing and is no fault.
        const ReadOutcome outcome = readLog(terminal, file, log.path, print, selection, &stop);
        if (outcome == ReadOutcome::Stopped)
            break;
        failed = failed || outcome == ReadOutcome::Failed;
    }
    const int status = terminal.finish(output);
    if (status != ExitSuccess)
        return status;
    if (!found.all()) {
        QStringList quoted;
        for (const QString &name : found.missing())
            quoted.append(inQuotes(name));
        terminal.message(QStringLiteral("%1: no chat named %2 in its logs")
                             .arg(folder, quoted.join(QStringLiteral(", "))));
        failed = true;
    }
    return failed ? ExitFailure : ExitSuccess;
}

int search(const Terminal &terminal, const QCommandLineParser &parser, const Options &options,
           const QString &pattern, const QStringList &paths)
{
    modMain::TextMatcher matcher(pattern, parser.isSet(options.regex), parser.isSet(options.ignoreCase));
    if (!matcher.isValid())
        return terminal.usageError(QStringLiteral("search: bad regular expression \"%1\": %2 at character %3")
                                       .arg(pattern, matcher.errorString())
                                       .arg(matcher.errorOffset() + 1));
    const QStringList chats = distinct(parser.values(options.chat));
    const bool timestamps = parser.isSet(options.timestamps);

    TextOutput output(terminal.out());
    bool trouble = false, matched = false;
    QString gaveUp; // where the regular expression could not decide: the search ends there
    std::atomic<bool> stop = false;
    const auto searchLog = [&](const QString &path, const QString &shown) {
        QFile file;
        if (!openOrSay(terminal, file, path)) {
            trouble = true;
            return;
        }
        // The chat's field, made again only when the chat changes.
        QString chatField, leadChat;
        const auto pick = [&](const modMain::LogLine &line) {
            if (!gaveUp.isEmpty())
                return; // the lines the reader still hands on before it sees the stop
            switch (matcher.match(line.text())) {
            case modMain::TextMatcher::Result::NoMatch:
                return;
            case modMain::TextMatcher::Result::Undecided:
                // Never a line without a match: grep's rule, and a pattern that gives up on one line
                // likely gives up on many, each after the same long work.
                gaveUp = QStringLiteral("%1 line %2").arg(shown).arg(line.number);
                stop.store(true, std::memory_order_relaxed);
                return;
            case modMain::TextMatcher::Result::Match:
                break;
            }
            matched = true;
            if (chatField.isEmpty() || leadChat != line.chatName) {
                leadChat = line.chatName.toString();
                chatField = u'\t' + field(line.chatName) + u'\t';
            }
            // The file as the system names it, so that the name printed opens it.
            output.appendName(shown);
            output.append(chatField);
            if (timestamps)
                output.appendStamp(line.timeStamp);
            output.append(line.text());
            output.endLine();
            if (output.failed())
                stop.store(true, std::memory_order_relaxed);
        };
        // A log without chat lines has nothing to match.
        trouble = readLog(terminal, file, shown, pick, chats, &stop, matcher.requiredText()) ==
                      ReadOutcome::Failed ||
                  trouble;
    };

    for (const QString &path : paths) {
        if (stop.load(std::memory_order_relaxed))
            break;
        if (!isFolder(path)) {
            searchLog(path, shownName(path));
            continue;
        }
        QList<SessionLog> logs;
        QString error;
        if (!sessionLogs(path, &logs, &error)) {
            terminal.message(QStringLiteral("%1: %2").arg(path, error));
            trouble = true;
        } else if (logs.isEmpty()) {
            terminal.message(QStringLiteral("%1: no chat logs (client_chat_log_*.txt) in it").arg(path));
            trouble = true;
        }
        for (const SessionLog &log : std::as_const(logs)) {
            if (stop.load(std::memory_order_relaxed))
                break;
            searchLog(log.path, log.path);
        }
    }
    if (!output.finish()) {
        if (output.brokenPipe())
            return ExitBrokenPipe;
        terminal.message(output.message());
        return ExitUsage;
    }
    if (!gaveUp.isEmpty()) {
        terminal.message(QStringLiteral("search: %1: the regular expression gave up on %2 (too complex)")
                             .arg(pattern, gaveUp));
        return ExitUsage;
    }
    if (trouble)
        return ExitUsage;
    return matched ? ExitSuccess : ExitFailure;
}

Command commandNamed(const QString &name)
{
    for (const auto &[word, command] :
         {std::pair{"list", Command::List}, std::pair{"show", Command::Show},
          std::pair{"history", Command::History}, std::pair{"search", Command::Search}}) {
        if (name == QLatin1String(word))
            return command;
    }
    return Command::None;
}

} // namespace

int run(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    const Terminal terminal(out, err);
    const Options options;

    // First pass knows every option, so that an option's value is never taken for the command.
    QCommandLineParser first;
    configure(first, options, Command::None, true);
    if (!first.parse(arguments))
        return terminal.usageError(first.errorText());
    if (first.isSet(options.version))
        return terminal.printLines(
            QStringLiteral("%1 %2\n").arg(kProgram, QStringLiteral(EVENFALL_VERSION_STRING)));
    const QStringList words = first.positionalArguments();
    if (words.isEmpty()) {
        if (!first.isSet(options.help))
            return terminal.usageError(QStringLiteral("no command given"));
        QCommandLineParser general;
        configure(general, options, Command::None, false);
        return terminal.printLines(general.helpText());
    }
    const Command command = commandNamed(words.first());
    if (command == Command::None)
        return terminal.usageError(QStringLiteral("unknown command '%1'").arg(words.first()));

    // Second pass with the command's own options: one meant for another command is an error here.
    QCommandLineParser parser;
    configure(parser, options, command, false);
    if (!parser.parse(arguments))
        return terminal.usageError(parser.errorText());
    if (parser.isSet(options.help))
        return terminal.printLines(parser.helpText());
    switch (command) {
    case Command::List:
        if (words.size() < 2)
            return terminal.usageError(QStringLiteral("list: no log file given"));
        if (words.size() > 2)
            return terminal.usageError(QStringLiteral("list: unexpected argument '%1'").arg(words[2]));
        return list(terminal, words[1], parser.isSet(options.kind));
    case Command::Show:
        if (words.size() < 2)
            return terminal.usageError(QStringLiteral("show: no log file given"));
        if (words.size() < 3)
            return terminal.usageError(QStringLiteral("show: no chat name given"));
        return show(terminal, parser, options, words[1], words.mid(2));
    case Command::History:
        if (words.size() < 2)
            return terminal.usageError(QStringLiteral("history: no folder given"));
        if (words.size() < 3)
            return terminal.usageError(QStringLiteral("history: no chat name given"));
        return history(terminal, parser, options, words[1], words.mid(2));
    case Command::Search:
        if (words.size() < 2)
            return terminal.usageError(QStringLiteral("search: no pattern given"));
        if (words.size() < 3)
            return terminal.usageError(QStringLiteral("search: no log file or folder given"));
        return search(terminal, parser, options, words[1], words.mid(2));
    case Command::None:
        break;
    }
    return ExitUsage;
}

} // namespace chatlogcli
