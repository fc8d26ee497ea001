#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The reader's command line: evenfall-chat-log-reader [FILE]. --help and --version answer on standard
// output and end the program; a wrong command line is refused with a short message and status 2.
struct ReaderCommandLine {
    bool run = true;   // false: print and end with exitCode, without a window
    int exitCode = 0;  // 0 after --help and --version, 2 for a wrong command line
    QString output;    // for standard output
    QString errorText; // for standard error
    QString file;      // the log to import at start-up, as the file system names it; empty for none

    // Prints output and errorText where they belong; returns exitCode.
    int print() const;
};

// arguments as QCoreApplication::arguments() gives them, the program first. Qt's own options (such as
// -platform) have been taken out by the application object already.
ReaderCommandLine parseReaderCommandLine(const QStringList &arguments);

// --help and --version answered from main's own arguments before the application object is made, which
// needs a display: they then work in any terminal. The exit status, or nothing when the program goes on.
std::optional<int> answerWithoutWindow(int argc, char *argv[]);
