#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include "ChatLogCommands.h"
#include "Terminal.h"

// What the table of commands is made of: every option of the tool, a command's row, and what a command's
// handler is handed. The table itself, and the parsing it drives, is in ChatLogCommands.cpp.
namespace chatlogcli {

// Every option of the tool; a command's row names those it takes.
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

// A command as its handler sees it: the command line parsed with the command's own options, and the
// words after the command's name, as many as its row asks for (checked before the handler runs).
struct Invocation {
    const Terminal &terminal;
    const QCommandLineParser &parser;
    const Options &options;
    QStringList arguments;

    bool isSet(const QCommandLineOption &option) const { return parser.isSet(option); }
};

struct Argument {
    QString name;         // lower case, as the command's help lists it; upper case in the general help
    QString description;  // beside the name in the command's help
    QString missing;      // the usage error when it is not given
    bool repeats = false; // the last argument only: it may be given more than once
};

// One row of the table: everything the command line and the help know of a command.
struct Command {
    QString name;
    QString summary; // one line beside the name in the command's own help
    QString help;    // the command's description, repeated indented in the general help
    QList<Argument> arguments;
    QList<const QCommandLineOption Options::*> options; // besides --help and --version, in help order
    int (*handler)(const Invocation &);
};

// The handlers, one file each.
int listCommand(const Invocation &call);
int showCommand(const Invocation &call);
int historyCommand(const Invocation &call);
int searchCommand(const Invocation &call);

} // namespace chatlogcli
