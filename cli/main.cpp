#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "ChatLogCommands.h"
#include "NativeNames.h"

namespace {

#ifdef Q_OS_UNIX
// Opens each of descriptors 0 to 2 that is closed on /dev/null, as careful Unix tools do: otherwise the
// next descriptor the program opens (Qt's event descriptor, the log) takes that number, and text meant
// for the terminal lands in it. Returns whether standard output was closed.
bool reopenClosedStandardDescriptors()
{
    bool outputClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        outputClosed = outputClosed || fd == STDOUT_FILENO;
        // Descriptors are handed out lowest first, so this one takes the number just found closed.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != fd && opened >= 0)
            ::close(opened);
    }
    return outputClosed;
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    bool outputClosed = false;
#ifdef Q_OS_UNIX
    outputClosed = reopenClosedStandardDescriptors();
    // A reader that goes away (| head) must end the run with a status, not kill it mid-write.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef Q_OS_WIN
    // The text already carries the line ends Windows wants; text mode would double the CRs.
    _setmode(_fileno(stdout), _O_BINARY);
    // A log piped in keeps its bytes: text mode would drop its CRs and stop at the first Ctrl+Z.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    QCoreApplication application(argc, argv);
#ifdef Q_OS_UNIX
    // The words as bytes, so that any file name the system holds can be named (Qt would decode a name
    // that is not valid UTF-8 to one that no longer opens).
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(nativenames::fromNative(argv[i]));
#else
    const QStringList arguments = QCoreApplication::arguments();
#endif
    return chatlogcli::run(arguments, outputClosed ? nullptr : stdout, stderr);
}
