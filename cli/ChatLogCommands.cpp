#include "ChatLogCommands.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "LocalFiles.h"
#include "NativeNames.h"
#include "PlatformPaths.h"
#include "TextCodec.h"
#include "TextOutput.h"
#include "modMain.h"

namespace chatlogcli {
namespace {

const QString kProgram = QStringLiteral("evenfall-chatlog");

enum class Command { None, List, Show };

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
};

const QString kListHelp =
    QStringLiteral("One row per chat, in order of first appearance: name, number of lines, first and last\n"
                   "timestamp (of the chat's first and last line that has one; empty when none has),\n"
                   "separated by tabs. The chat of the channels without a name is an empty first field.");

const QString kShowHelp = QStringLiteral(
    "The text of the chats as the reader shows it, whole, merged in file order when several.\n"
    "Names are matched exactly, as list prints them: \"\" is the chat of the channels without\n"
    "a name; put -- before a name that starts with -.");

QString description(Command command)
{
    switch (command) {
    case Command::List:
        return kListHelp;
    case Command::Show:
        return kShowHelp;
    case Command::None:
        break;
    }
    QString text = QStringLiteral("Reads an Evenfall chat log as the Chat Log Reader does.\n\nCommands:\n");
    for (const auto &[name, help] : {std::pair{QStringLiteral("list FILE"), kListHelp},
                                     std::pair{QStringLiteral("show FILE CHAT..."), kShowHelp}}) {
        text += QStringLiteral("  %1\n").arg(name);
        for (const QString &line : help.split(u'\n'))
            text += QStringLiteral("      %1\n").arg(line);
    }
    return text + QStringLiteral("\nRun '%1 list --help' or '%1 show --help' for the options of a command.")
                      .arg(kProgram);
}

void configure(QCommandLineParser &parser, const Options &options, Command command, bool allOptions)
{
    parser.setApplicationDescription(description(command));
    parser.addOption(options.help);
    parser.addOption(options.version);
    if (allOptions || command == Command::List)
        parser.addOption(options.kind);
    if (allOptions || command == Command::Show) {
        parser.addOptions({options.timestamps, options.noGameFeedback, options.noSystem, options.allowMissing,
                           options.output});
    }
    switch (command) {
    case Command::None:
        parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list or show."),
                                     QStringLiteral("command [arguments]"));
        break;
    case Command::List:
        parser.addPositionalArgument(QStringLiteral("list"), QStringLiteral("List the chats of the log."));
        parser.addPositionalArgument(QStringLiteral("file"),
                                     QStringLiteral("The chat log to read; - reads standard input."));
        break;
    case Command::Show:
        parser.addPositionalArgument(QStringLiteral("show"), QStringLiteral("Print the text of chats."));
        parser.addPositionalArgument(QStringLiteral("file"),
                                     QStringLiteral("The chat log to read; - reads standard input."));
        parser.addPositionalArgument(QStringLiteral("chat"),
                                     QStringLiteral("The chats to show, merged in file order."),
                                     QStringLiteral("chat [chat...]"));
        break;
    }
}

// Where output and messages go: text to out, messages and usage errors to err.
class Terminal {
public:
    Terminal(std::FILE *out, std::FILE *err) : out_(out), err_(err) {}

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

    // Text with CR LF line ends, as the model builds it.
    int print(QStringView text) const
    {
        if (!out_) {
            message(QStringLiteral("standard output is closed"));
            return ExitFailure;
        }
        const int error = writeText(out_, text);
        if (error == 0)
            return ExitSuccess;
        if (error == EPIPE)
            return ExitBrokenPipe; // nobody is left to read a message about it either
        message(QStringLiteral("cannot write to standard output: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(error))));
        return ExitFailure;
    }

    // Qt's help text ends its lines with LF alone.
    int printLines(QString text) const { return print(text.replace(u'\n', QStringLiteral("\r\n"))); }

private:
    std::FILE *out_;
    std::FILE *err_;
};

const QString kStandardInput = QStringLiteral("-");

// How a log argument is named in messages.
QString shownName(const QString &path)
{
    return path == kStandardInput ? QStringLiteral("(standard input)") : path;
}

// The file a command-line path names, in the system's own encoding (a drive path is looked up in the
// Wine prefix, as the window does).
QByteArray nativePath(const QString &path)
{
    return nativenames::toNative(platformpaths::commandLinePath(path));
}

// Opens the log named on the command line: "-" is standard input, and anything that reads is read,
// FIFOs included (a pipe is an ordinary input for a command-line tool).
bool openLog(QFile &file, const QString &path, QString *error)
{
    if (path == kStandardInput) {
        if (file.open(stdin, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            return true;
        *error = file.errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    // By the name's bytes, which QFile would not keep for a name that is not valid UTF-8.
    int fd = -1;
    do {
        fd = ::open(nativePath(path).constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        fd = -1;
        errno = EISDIR;
    }
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(platformpaths::commandLinePath(path));
    if (file.open(QIODevice::ReadOnly))
        return true;
    *error = file.errorString();
    return false;
#endif
}

// Loads a log as the window's import does; on failure reports it in one line naming the file.
bool load(const Terminal &terminal, const QString &path, modMain::LoadedChatLog *log)
{
    QFile file;
    QString error;
    if (!openLog(file, path, &error)) {
        terminal.message(QStringLiteral("%1: %2").arg(shownName(path), error));
        return false;
    }
    modMain::LoadResult result = modMain::LoadChatLog(file);
    switch (result.status) {
    case modMain::LoadStatus::Loaded:
        *log = std::move(result.log);
        return true;
    case modMain::LoadStatus::NoLines:
        terminal.message(QStringLiteral("%1: no chat lines").arg(shownName(path)));
        return false;
    case modMain::LoadStatus::OutOfMemory:
        terminal.message(QStringLiteral("%1: not enough memory to load it").arg(shownName(path)));
        return false;
    case modMain::LoadStatus::FileError:
    case modMain::LoadStatus::Cancelled: // nothing here cancels a load
        break;
    }
    terminal.message(QStringLiteral("%1: %2").arg(shownName(path), result.errorText));
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

int list(const Terminal &terminal, const QString &path, bool withKind)
{
    modMain::LoadedChatLog log;
    if (!load(terminal, path, &log))
        return ExitFailure;

    QHash<QString, qsizetype> indexOf;
    indexOf.reserve(log.ChatNames.size());
    for (qsizetype i = 0; i < log.ChatNames.size(); ++i)
        indexOf.insert(log.ChatNames[i], i);
    // The loader keeps one copy of each name and the records share it, so a name is found by where its
    // characters are (same place, same length: same name) without hashing them; the characters are
    // the fallback for a record that holds a copy of its own.
    QHash<std::pair<const QChar *, qsizetype>, qsizetype> indexAt;
    QList<ChatSummary> chats(log.ChatNames.size());
    for (const modMain::ChatLine &record : log.ChatLog) {
        const std::pair place(record.ChatName.constData(), record.ChatName.size());
        auto at = indexAt.constFind(place);
        if (at == indexAt.cend())
            at = indexAt.insert(place, indexOf.value(record.ChatName));
        ChatSummary &chat = chats[*at];
        ++chat.lines;
        chat.kinds |= record.IsChannel ? KindChannel : record.IsTell ? KindTell : KindPublic;
        if (record.TimeStamp != 0.0) {
            if (chat.first == 0.0)
                chat.first = record.TimeStamp;
            chat.last = record.TimeStamp;
        }
    }

    QString rows;
    for (qsizetype i = 0; i < chats.size(); ++i) {
        // A tab inside a name would shift the columns; the empty name stays an empty field.
        QString name = log.ChatNames[i];
        rows += name.replace(u'\t', u' ') + u'\t' + QString::number(chats[i].lines) + u'\t' +
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

int show(const Terminal &terminal, const QCommandLineParser &parser, const Options &options,
         const QString &path, const QStringList &names)
{
    const QString target = parser.value(options.output);
    if (parser.isSet(options.output)) {
        // Checked before anything is read. The same file by another name (a link) counts too.
#ifdef Q_OS_UNIX
        const QByteArray logName = path == kStandardInput ? QByteArray("/dev/stdin") : nativePath(path);
#else
        const QByteArray logName = path == kStandardInput ? QByteArray() : nativePath(path);
#endif
        if (!logName.isEmpty() && localfiles::sameFile(logName, nativePath(target))) {
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

    modMain::LoadedChatLog log;
    if (!load(terminal, path, &log))
        return ExitFailure;

    // A name given twice counts once: the window's merged chats never hold a name twice either.
    const QSet<QString> known(log.ChatNames.cbegin(), log.ChatNames.cend());
    QStringList selection, missing;
    for (const QString &name : names) {
        QStringList &into = known.contains(name) ? selection : missing;
        if (!into.contains(name))
            into.append(name);
    }
    if (!missing.isEmpty() && !parser.isSet(options.allowMissing)) {
        QStringList quoted;
        for (const QString &name : missing)
            quoted.append(inQuotes(name));
        QString message = QStringLiteral("%1: no chat named %2; the chats in it are:")
                              .arg(shownName(path), quoted.join(QStringLiteral(", ")));
        for (const QString &name : std::as_const(log.ChatNames))
            message += QStringLiteral("\n  ") + inQuotes(name);
        terminal.message(message);
        return ExitFailure;
    }

    modMain::DisplayOptions display;
    display.ShowTimestamp = parser.isSet(options.timestamps);
    display.DisplayGameFeedback = !parser.isSet(options.noGameFeedback);
    display.DisplaySystem = !parser.isSet(options.noSystem);
    const QString text = modMain::BuildChatText(log.ChatLog, selection, display);

    if (!parser.isSet(options.output))
        return terminal.print(text);
    // Exactly the assembled text, so an empty chat gives an empty file. The window's save adds one
    // CR LF after the text on view; for an export that would be an empty line no chat ever had, and
    // files joined end to end would gain blank lines between them.
    QString error;
    if (!modMain::writeTextFile(platformpaths::commandLinePath(target), text, &error)) {
        terminal.message(QStringLiteral("%1: %2").arg(target, error));
        return ExitFailure;
    }
    return ExitSuccess;
}

Command commandNamed(const QString &name)
{
    if (name == QLatin1String("list"))
        return Command::List;
    if (name == QLatin1String("show"))
        return Command::Show;
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

    // Second pass with the command's own options: one meant for the other command is an error here.
    QCommandLineParser parser;
    configure(parser, options, command, false);
    if (!parser.parse(arguments))
        return terminal.usageError(parser.errorText());
    if (parser.isSet(options.help))
        return terminal.printLines(parser.helpText());
    if (words.size() < 2)
        return terminal.usageError(QStringLiteral("%1: no log file given").arg(words.first()));
    if (command == Command::List) {
        if (words.size() > 2)
            return terminal.usageError(QStringLiteral("list: unexpected argument '%1'").arg(words[2]));
        return list(terminal, words[1], parser.isSet(options.kind));
    }
    if (words.size() < 3)
        return terminal.usageError(QStringLiteral("show: no chat name given"));
    return show(terminal, parser, options, words[1], words.mid(2));
}

} // namespace chatlogcli
