#include <QApplication>

#include "ReaderCommandLine.h"
#include "frmMain.h"

int main(int argc, char *argv[])
{
    if (const std::optional<int> status = answerWithoutWindow(argc, argv))
        return *status;
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KestrelGames"));
    QApplication::setApplicationName(QStringLiteral("Evenfall Chat Log Reader"));
    QApplication::setApplicationVersion(QStringLiteral(EVENFALL_VERSION_STRING));
    // Lets the desktop shell match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("evenfall-chat-log-reader"));
    const ReaderCommandLine commandLine = parseReaderCommandLine(QApplication::arguments());
    if (!commandLine.run)
        return commandLine.print();
    frmMain window;
    window.show();
    if (!commandLine.file.isEmpty()) // once the window is up, so that its boxes have an owner on screen
        QMetaObject::invokeMethod(
            &window, [&window, &commandLine] { window.openLog(commandLine.file); }, Qt::QueuedConnection);
    return application.exec();
}
