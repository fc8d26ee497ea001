#pragma once

#include <QByteArray>
#include <QRect>
#include <QSettings>
#include <QString>

#include <optional>

#include "ChatSummary.h"
#include "modMain.h"

// The settings the reader keeps between runs, in the user's settings: organisation "KestrelGames",
// application "Evenfall Chat Log Reader", an INI file on every system. GUI-free. A stored value that is
// not of its kind (a bool that reads "banana", an order nobody knows) is taken as not stored; the store
// that cannot be read at all has nothing stored.
namespace readersettings {

// The program's own store, whatever the running application calls itself (the tests have names of
// their own); an INI file also on Windows, where a test can point it elsewhere as on other systems.
QSettings store();

// Whether Find goes on from the other end of the chat; off until the user turns it on.
bool findWrapsAround();
void setFindWrapsAround(bool on);
// The Find box's other options: whether the case must match and whether it searches up.
bool findMatchesCase();
void setFindMatchesCase(bool on);
bool findSearchesUp();
void setFindSearchesUp(bool up);

// What the window was left with: each item of the display options that is stored, else its default.
modMain::DisplayOptions displayOptions(const modMain::DisplayOptions &defaults);
void setDisplayOptions(const modMain::DisplayOptions &options);
modMain::ChatOrder chatOrder();
void setChatOrder(modMain::ChatOrder order);
// The folder in Path, as typed; empty when none is stored.
QString folder();
void setFolder(const QString &folder);
// The window: where it stood and its size when not maximized (in the values QWidget::normalGeometry
// gives; empty when none is stored), whether it was maximized, and the state of its docks as
// QMainWindow::saveState gives it (empty when none is stored).
QRect windowGeometry();
bool windowMaximized();
QByteArray windowState();
void setWindow(const QRect &geometry, bool maximized, const QByteArray &state);

} // namespace readersettings
