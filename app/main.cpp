#include <QApplication>

#include "frmMain.h"

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KestrelGames"));
    QApplication::setApplicationName(QStringLiteral("Evenfall Chat Log Reader"));
    QApplication::setApplicationVersion(QStringLiteral(EVENFALL_VERSION_STRING));
    // Lets the desktop shell match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("evenfall-chat-log-reader"));
    frmMain window;
    window.show();
    return application.exec();
}
