#pragma once

#include <QIcon>

// The program's icon: a speech bubble with lines of text, painted at run time in 16, 32 and 64 pixels
// (the last for high-dpi screens). Needs a QGuiApplication.
QIcon appIcon();
