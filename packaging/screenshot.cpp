// Takes the README's picture of the main window as a player sees it: the game's log folder found with
// "Logs", a log imported, two chats merged, a chat on view with timestamps.
//   evenfall-screenshot OUTPUT.png
// WINEPREFIX names a Wine prefix whose registry holds the game's folder, with logs in its Logs folder.
// Run it on a real display server (scripts/screenshot.sh makes the prefix and uses Xvfb) so that fonts
// and style are those a user sees.

#include <QAction>
#include <QApplication>

#include <cstdio>

#include "WindowDriver.h"

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: evenfall-screenshot OUTPUT.png\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);

    WindowDriver driver;
    driver.click("cmdChangeDirToLogs");
    if (driver.fileCombo()->currentText().isEmpty()) {
        // Importing nothing would stop at a message box.
        std::fprintf(stderr, "evenfall-screenshot: Logs found no logs in the prefix of WINEPREFIX\n");
        return 1;
    }
    driver.click("cmdImportFile");
    driver.merge({QStringLiteral("Trade"), QStringLiteral("Orrik")});
    driver.get<QAction>("mnuOptionsShowTimestamp")->trigger();
    if (!driver.clickChat(QStringLiteral("Lore"))) {
        std::fprintf(stderr, "evenfall-screenshot: the sample log has no chat Lore\n");
        return 1;
    }
    WindowDriver::settle();
    if (!driver.window.grab().save(output, "PNG")) {
        std::fprintf(stderr, "evenfall-screenshot: cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
