#include "Twips.h"

#include <QWidget>

namespace twips {

QFont designFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("MS Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPointSizeF(8.25);
    return font;
}

void setGeometry(QWidget *widget, double left, double top, double width, double height)
{
    widget->setGeometry(toRect(left, top, width, height));
}

} // namespace twips
