#include "ChatLogCommands.h"

#include "CommandTable.h"

// The command line: one table of commands drives the help, the options each command takes, the lookup of
// the command's name and the check of its arguments; each command's work is in its own file.
namespace chatlogcli {
namespace {

// The commands, in the order the general help lists them.
const QList<Command> &commands()
{
    // The arguments that more than one command takes.
    static const Argument kLog{QStringLiteral("file"),
                               QStringLiteral("The chat log to read; - reads standard input."),
                               QStringLiteral("no log file given")};
    static const Argument kChats{QStringLiteral("chat"),
                                 QStringLiteral("The chats to show, merged in file order."),
                                 QStringLiteral("no chat name given"), true};
    static const QList<Command> kTable{
        {
            .name = QStringLiteral("list"),
            .summary = QStringLiteral("List the chats of the log."),
            .help = QStringLiteral(
                "One row per chat, in order of first appearance: name, number of lines, first and last\n"
                "timestamp (of the chat's first and last line that has one; empty when none has),\n"
                "separated by tabs. The chat of the channels without a name is an empty first field."),
            .arguments = {kLog},
            .options = {&Options::kind},
            .handler = listCommand,
        },
        {
            .name = QStringLiteral("show"),
            .summary = QStringLiteral("Print the text of chats."),
            .help = QStringLiteral(
                "The text of the chats as the reader shows it, whole, merged in file order when several.\n"
                "Names are matched exactly, as list prints them: \"\" is the chat of the channels without\n"
                "a name; put -- before a name that starts with -."),
            .arguments = {kLog, kChats},
            .options = {&Options::timestamps, &Options::noGameFeedback, &Options::noSystem,
                        &Options::allowMissing, &Options::output},
            .handler = showCommand,
        },
        {
            .name = QStringLiteral("history"),
            .summary = QStringLiteral("Print chats across the sessions of a folder."),
            .help = QStringLiteral(
                "The lines of the chats across all logs client_chat_log_*.txt of FOLDER, one session\n"
                "after another in the order of the logs' names, printed as show prints them. A chat\n"
                "that no log holds is named on standard error and the status is 1."),
            .arguments = {{QStringLiteral("folder"), QStringLiteral("The folder of the logs."),
                           QStringLiteral("no folder given")},
                          kChats},
            .options = {&Options::timestamps, &Options::noGameFeedback, &Options::noSystem,
                        &Options::fileHeaders},
            .handler = historyCommand,
        },
        {
            .name = QStringLiteral("search"),
            .summary = QStringLiteral("Print the lines that contain a text."),
            .help = QStringLiteral(
                "The lines whose text (after the timestamp) contains PATTERN, each as FILE, CHAT and\n"
                "the line separated by tabs. A PATH that is a folder means its logs client_chat_log_*.txt\n"
                "in the order of their names; FILE is then the folder as given and the log's name.\n"
                "Exit status 0 with matches, 1 without, 2 for a wrong command line, a log that\n"
                "cannot be read, or a line on which the regular expression gave up (too complex),\n"
                "where the search stops."),
            .arguments = {{QStringLiteral("pattern"), QStringLiteral("The text to look for."),
                           QStringLiteral("no pattern given")},
                          {QStringLiteral("path"),
                           QStringLiteral("Logs, or folders of logs; - reads standard input."),
                           QStringLiteral("no log file or folder given"), true}},
            .options = {&Options::timestamps, &Options::chat, &Options::ignoreCase, &Options::regex},
            .handler = searchCommand,
        },
    };
    return kTable;
}

const Command *commandNamed(const QString &name)
{
    for (const Command &command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

// How the general help names a command: "show FILE CHAT...".
QString synopsis(const Command &command)
{
    QString text = command.name;
    for (const Argument &argument : command.arguments)
        text += u' ' + argument.name.toUpper() + (argument.repeats ? QStringLiteral("...") : QString());
    return text;
}

// command is nullptr for the tool as a whole.
QString description(const Command *command)
{
    if (command)
        return command->help;
    QString text = QStringLiteral("Reads Evenfall chat logs as the Chat Log Reader does.\n\nCommands:\n");
    for (const Command &each : commands()) {
        text += QStringLiteral("  %1\n").arg(synopsis(each));
        for (const QString &line : each.help.split(u'\n'))
            text += QStringLiteral("      %1\n").arg(line);
    }
    return text + QStringLiteral("\nRun '%1 COMMAND --help' for the options of a command.").arg(kProgram);
}

// "list, show, history or search".
QString commandNames()
{
    QStringList names;
    for (const Command &command : commands())
        names.append(command.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// Sets parser up for command, or for the tool as a whole when command is nullptr; allOptions adds the
// options of every command (each once) instead of the command's own.
void configure(QCommandLineParser &parser, const Options &options, const Command *command, bool allOptions)
{
    parser.setApplicationDescription(description(command));
    parser.addOption(options.help);
    parser.addOption(options.version);
    QList<const QCommandLineOption Options::*> added;
    for (const Command &each : commands()) {
        if (!allOptions && &each != command)
            continue;
        for (const auto option : each.options) {
            if (!added.contains(option)) {
                added.append(option);
                parser.addOption(options.*option);
            }
        }
    }

    if (!command) {
        parser.addPositionalArgument(QStringLiteral("command"), commandNames() + u'.',
                                     QStringLiteral("command [arguments]"));
        return;
    }
    parser.addPositionalArgument(command->name, command->summary);
    for (const Argument &argument : command->arguments)
        parser.addPositionalArgument(argument.name, argument.description,
                                     argument.repeats ? QStringLiteral("%1 [%1...]").arg(argument.name)
                                                      : QString());
}

// The usage error for arguments (the words after the command's name) that do not fit command's row;
// empty when they fit.
QString argumentError(const Command &command, const QStringList &arguments)
{
    for (qsizetype i = 0; i < command.arguments.size(); ++i) {
        if (arguments.size() <= i)
            return QStringLiteral("%1: %2").arg(command.name, command.arguments[i].missing);
    }
    if (!command.arguments.last().repeats && arguments.size() > command.arguments.size())
        return QStringLiteral("%1: unexpected argument '%2'")
            .arg(command.name, arguments[command.arguments.size()]);
    return QString();
}

} // namespace

int run(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    const Terminal terminal(out, err);
    const Options options;

    // First pass knows every option, so that an option's value is never taken for the command.
    QCommandLineParser first;
    configure(first, options, nullptr, true);
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
        configure(general, options, nullptr, false);
        return terminal.printLines(general.helpText());
    }
    const Command *command = commandNamed(words.first());
    if (!command)
        return terminal.usageError(QStringLiteral("unknown command '%1'").arg(words.first()));

    // Second pass with the command's own options: one meant for another command is an error here.
    QCommandLineParser parser;
    configure(parser, options, command, false);
    if (!parser.parse(arguments))
        return terminal.usageError(parser.errorText());
    if (parser.isSet(options.help))
        return terminal.printLines(parser.helpText());
    const QStringList given = words.mid(1);
    if (const QString error = argumentError(*command, given); !error.isEmpty())
        return terminal.usageError(error);
    return command->handler(Invocation{terminal, parser, options, given});
}

} // namespace chatlogcli
