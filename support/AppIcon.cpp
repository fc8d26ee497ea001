#include "AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// Drawn on a 32-unit grid and scaled, so every size has the same shape; the small size gets fewer,
// thicker text lines so that they stay apart.
QPixmap paintBubble(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1.5, 2.5, 29, 20), 5, 5);
    QPainterPath tail;
    tail.moveTo(6, 20);
    tail.lineTo(5, 30);
    tail.lineTo(15, 20);
    tail.closeSubpath();
    bubble = bubble.united(tail);

    QLinearGradient dusk(0, 2, 0, 30);
    dusk.setColorAt(0, QColor(255, 196, 92));
    dusk.setColorAt(1, QColor(224, 112, 48));
    painter.setBrush(dusk);
    painter.setPen(QPen(QColor(110, 52, 20), size <= 16 ? 2.0 : 1.0));
    painter.drawPath(bubble);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(70, 40, 90));
    if (size <= 16) {
        painter.drawRect(QRectF(6, 8, 20, 4));
        painter.drawRect(QRectF(6, 14, 13, 4));
    } else {
        painter.drawRect(QRectF(6, 7, 20, 2));
        painter.drawRect(QRectF(6, 11.5, 17, 2));
        painter.drawRect(QRectF(6, 16, 12, 2));
    }
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 64})
        icon.addPixmap(paintBubble(size));
    return icon;
}
