#pragma once

#include <QFont>
#include <QRect>
#include <QtGlobal>

class QWidget;

// Control positions and sizes are designed in twips (1/1440 inch). At 96 dpi 15 twips make one
// device-independent pixel; Qt scales pixels for high-dpi screens.
namespace twips {

constexpr double kPerPixel = 15.0;

inline int toPixels(double value)
{
    return qRound(value / kPerPixel);
}

inline double fromPixels(int pixels)
{
    return pixels * kPerPixel;
}

inline QRect toRect(double left, double top, double width, double height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

// Places a child widget at a designed position inside its parent.
void setGeometry(QWidget *widget, double left, double top, double width, double height);

// The font the windows were designed with: a narrow 8.25-point sans serif, so that every caption fits
// its designed place. Falls back through metric-compatible families to the system's default.
QFont designFont();

} // namespace twips
