#include <QCoreApplication>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

#include "ChatLogCommands.h"

int main(int argc, char *argv[])
{
#ifdef Q_OS_UNIX
    // A reader that goes away (| head) must end the run with a status, not kill it mid-write.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef Q_OS_WIN
    // The text already carries the line ends Windows wants; text mode would double the CRs.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    QCoreApplication application(argc, argv);
    return chatlogcli::run(QCoreApplication::arguments(), stdout, stderr);
}
