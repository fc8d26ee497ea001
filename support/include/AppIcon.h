#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>

// The program's icon: a speech bubble with lines of text, drawn once on a 32-unit grid. The window's
// icon, the PNG files and the scalable SVG installed for the desktop all come from that one drawing.

// The icon painted in 16, 32 and 64 pixels (the last for high-dpi screens). Needs a QGuiApplication.
QIcon appIcon();

// The icon painted at size x size pixels on a transparent ground. Sizes of 16 and less get fewer,
// thicker text lines so that they stay apart. Needs no application object.
QImage appIconImage(int size);

// The drawing of the larger sizes as a standalone SVG document (UTF-8) with a 32 x 32 view box.
QByteArray appIconSvg();
