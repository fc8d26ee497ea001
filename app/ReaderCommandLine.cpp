#include "ReaderCommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

#include "PlatformPaths.h"

namespace {

const QString kProgram = QStringLiteral("evenfall-chat-log-reader");

} // namespace

int ReaderCommandLine::print() const
{
    if (!output.isEmpty()) {
        std::fputs(output.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
    if (!errorText.isEmpty())
        std::fputs(errorText.toLocal8Bit().constData(), stderr);
    return exitCode;
}

ReaderCommandLine parseReaderCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    ReaderCommandLine result;
    const QString program = arguments.isEmpty() ? kProgram : QFileInfo(arguments.first()).fileName();
    auto refuse = [&](const QString &message) {
        result.run = false;
        result.exitCode = 2;
        result.errorText =
            QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(program, message);
        return result;
    };
    // Help and version win over anything else on the line, Qt's own options among it before the
    // application object has taken them out.
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.run = false;
        result.output = QStringLiteral("Usage: %1 [options] [file]\n"
                                       "Reads the chat logs of the Evenfall game client: every chat listed "
                                       "apart, merged chats,\ntimestamps, paging, copy and save.\n\n"
                                       "Options:\n"
                                       "  -h, --help     Displays this help.\n"
                                       "  -v, --version  Displays version information.\n\n"
                                       "Arguments:\n"
                                       "  file           A chat log to import at start-up, as Import File "
                                       "would.\n")
                            .arg(program);
        return result;
    }
    if (parser.isSet(version)) {
        result.run = false;
        result.output =
            QStringLiteral("Evenfall Chat Log Reader %1\n").arg(QStringLiteral(EVENFALL_VERSION_STRING));
        return result;
    }
    if (!parsed)
        return refuse(parser.errorText());
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return refuse(QStringLiteral("Too many arguments: one chat log at most."));
    if (!files.isEmpty()) {
        if (files.first().isEmpty())
            return refuse(QStringLiteral("The file name is empty."));
        result.file = platformpaths::commandLinePath(files.first());
    }
    return result;
}

std::optional<int> answerWithoutWindow(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ReaderCommandLine commandLine = parseReaderCommandLine(arguments);
    if (commandLine.run || commandLine.exitCode != 0)
        return std::nullopt; // refusals wait until Qt's own options are known
    return commandLine.print();
}
