#include "DesignedControls.h"

#include <QLabel>
#include <QPalette>

#include "WrapButton.h"

QLabel *makeHeaderLabel(QWidget *parent, const QString &name, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new WrapButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}
