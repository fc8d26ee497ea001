#pragma once

#include <QColor>
#include <QString>

class QLabel;
class QPalette;
class QPushButton;
class QWidget;

// Controls as the windows were designed with them. Both carry name as their objectName; place them with
// twips::setGeometry. Their colours come from the palette, so that they suit any colour scheme.

// A header bar over a list: the window's text on the window's colour shaded a fifth of the way towards
// the text colour. A light scheme gives the designed light grey (192 on a window of 240) with black
// text; a dark one, a lighter bar under light text.
QLabel *makeHeaderLabel(QWidget *parent, const QString &name, const QString &caption);
QColor headerBarColor(const QPalette &palette);

// A button whose caption wraps, and which never becomes the default button just by taking focus. Enter
// presses it while it has the focus.
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);
