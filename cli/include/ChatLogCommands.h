#pragma once

#include <QStringList>

#include <cstdio>

// The commands of evenfall-chatlog, apart from main so that main only sets up the process.
namespace chatlogcli {

enum ExitStatus : int {
    ExitSuccess = 0,
    ExitFailure = 1,      // the log could not be read, a chat name is unknown, or a write failed
    ExitUsage = 2,        // the command line is wrong; nothing was read or written
    ExitBrokenPipe = 141, // the reader of standard output went away; what the shell reports for SIGPIPE
};

// Runs one command line (arguments[0] is the program) and returns its exit status. Text goes to out as
// UTF-8 with the platform's line ends, messages to err. Needs a QCoreApplication for the help text.
int run(const QStringList &arguments, std::FILE *out, std::FILE *err);

} // namespace chatlogcli
