#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// Controls as the windows were designed with them. Both carry name as their objectName; place them with
// twips::setGeometry.

// A header bar over a list: black text on light grey (192, 192, 192).
QLabel *makeHeaderLabel(QWidget *parent, const QString &name, const QString &caption);

// A button whose caption wraps, and which never becomes the default button just by taking focus.
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);
