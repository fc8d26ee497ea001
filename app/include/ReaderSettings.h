#pragma once

#include <QSettings>

// The settings the reader keeps between runs, in the user's settings: organisation "KestrelGames",
// application "Evenfall Chat Log Reader", an INI file on every system. GUI-free.
namespace readersettings {

// The program's own store, whatever the running application calls itself (the tests have names of
// their own); an INI file also on Windows, where a test can point it elsewhere as on other systems.
QSettings store();

// Whether Find goes on from the other end of the chat; off until the user turns it on.
bool findWrapsAround();
void setFindWrapsAround(bool on);

} // namespace readersettings
