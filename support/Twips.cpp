#include "Twips.h"

#include <QWidget>

namespace twips {

QFont DesignFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("MS Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPointSizeF(8.25);
    return font;
}

void SetGeometry(QWidget *widget, double left, double top, double width, double height)
{
    widget->setGeometry(ToRect(left, top, width, height));
}

} // namespace twips
