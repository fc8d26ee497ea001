#include "AppIcon.h"

#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QXmlStreamWriter>

namespace {

// What is drawn, in units of a 32-unit grid; painted by QPainter or written out as SVG.
struct IconDrawing {
    QPainterPath bubble;
    QLinearGradient fill;
    QColor outline;
    qreal outlineWidth = 1;
    QColor ink;
    QList<QRectF> textLines;
};

// small: for 16 pixels and less, where three text lines and a thin outline would blur together.
IconDrawing iconDrawing(bool small)
{
    IconDrawing drawing;
    drawing.bubble.addRoundedRect(QRectF(1.5, 2.5, 29, 20), 5, 5);
    QPainterPath tail;
    tail.moveTo(6, 20);
    tail.lineTo(5, 30);
    tail.lineTo(15, 20);
    tail.closeSubpath();
    drawing.bubble = drawing.bubble.united(tail);

    drawing.fill = QLinearGradient(0, 2, 0, 30);
    drawing.fill.setColorAt(0, QColor(255, 196, 92));
    drawing.fill.setColorAt(1, QColor(224, 112, 48));
    drawing.outline = QColor(110, 52, 20);
    drawing.outlineWidth = small ? 2.0 : 1.0;
    drawing.ink = QColor(70, 40, 90);
    if (small)
        drawing.textLines = {QRectF(6, 8, 20, 4), QRectF(6, 14, 13, 4)};
    else
        drawing.textLines = {QRectF(6, 7, 20, 2), QRectF(6, 11.5, 17, 2), QRectF(6, 16, 12, 2)};
    return drawing;
}

QString svgNumber(qreal number)
{
    return QString::number(number, 'g', 8); // always with a point, whatever the locale
}

QString svgPoint(const QPainterPath::Element &element)
{
    return svgNumber(element.x) + u' ' + svgNumber(element.y);
}

// Path data of path: its moves, lines and cubic curves, with each subpath that ends where it began
// closed, so that the outline is joined there as QPainter joins it.
QString svgPathData(const QPainterPath &path)
{
    QStringList commands;
    QPointF start;
    QPointF last;
    const auto closeIfBack = [&] {
        if (!commands.isEmpty() && last == start)
            commands.append(QStringLiteral("Z"));
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.isMoveTo()) {
            closeIfBack();
            start = element;
            commands.append(u'M' + svgPoint(element));
        } else if (element.isLineTo()) {
            commands.append(u'L' + svgPoint(element));
        } else if (element.isCurveTo()) {
            // A cubic curve: this control point, then the other one and the end point as data elements.
            commands.append(u'C' + svgPoint(element) + u' ' + svgPoint(path.elementAt(i + 1)) + u' ' +
                            svgPoint(path.elementAt(i + 2)));
            i += 2;
        }
        last = path.elementAt(i);
    }
    closeIfBack();
    return commands.join(u' ');
}

} // namespace

QImage appIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    const IconDrawing drawing = iconDrawing(size <= 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    painter.setBrush(drawing.fill);
    painter.setPen(QPen(drawing.outline, drawing.outlineWidth));
    painter.drawPath(drawing.bubble);
    painter.setPen(Qt::NoPen);
    painter.setBrush(drawing.ink);
    for (const QRectF &line : drawing.textLines)
        painter.drawRect(line);
    painter.end();
    return image;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 64})
        icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}

QByteArray appIconSvg()
{
    const IconDrawing drawing = iconDrawing(false);
    QByteArray svg;
    QXmlStreamWriter xml(&svg);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("svg"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    xml.writeAttribute(QStringLiteral("width"), QStringLiteral("32"));
    xml.writeAttribute(QStringLiteral("height"), QStringLiteral("32"));
    xml.writeAttribute(QStringLiteral("viewBox"), QStringLiteral("0 0 32 32"));

    xml.writeStartElement(QStringLiteral("defs"));
    xml.writeStartElement(QStringLiteral("linearGradient"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("fill"));
    xml.writeAttribute(QStringLiteral("gradientUnits"), QStringLiteral("userSpaceOnUse"));
    xml.writeAttribute(QStringLiteral("x1"), svgNumber(drawing.fill.start().x()));
    xml.writeAttribute(QStringLiteral("y1"), svgNumber(drawing.fill.start().y()));
    xml.writeAttribute(QStringLiteral("x2"), svgNumber(drawing.fill.finalStop().x()));
    xml.writeAttribute(QStringLiteral("y2"), svgNumber(drawing.fill.finalStop().y()));
    for (const QGradientStop &stop : drawing.fill.stops()) {
        xml.writeEmptyElement(QStringLiteral("stop"));
        xml.writeAttribute(QStringLiteral("offset"), svgNumber(stop.first));
        xml.writeAttribute(QStringLiteral("stop-color"), stop.second.name());
    }
    xml.writeEndElement(); // linearGradient
    xml.writeEndElement(); // defs

    // QPen's defaults: square caps, bevelled joins.
    xml.writeEmptyElement(QStringLiteral("path"));
    xml.writeAttribute(QStringLiteral("d"), svgPathData(drawing.bubble));
    xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("url(#fill)"));
    xml.writeAttribute(QStringLiteral("fill-rule"), drawing.bubble.fillRule() == Qt::WindingFill
                                                        ? QStringLiteral("nonzero")
                                                        : QStringLiteral("evenodd"));
    xml.writeAttribute(QStringLiteral("stroke"), drawing.outline.name());
    xml.writeAttribute(QStringLiteral("stroke-width"), svgNumber(drawing.outlineWidth));
    xml.writeAttribute(QStringLiteral("stroke-linecap"), QStringLiteral("square"));
    xml.writeAttribute(QStringLiteral("stroke-linejoin"), QStringLiteral("bevel"));
    for (const QRectF &line : drawing.textLines) {
        xml.writeEmptyElement(QStringLiteral("rect"));
        xml.writeAttribute(QStringLiteral("x"), svgNumber(line.x()));
        xml.writeAttribute(QStringLiteral("y"), svgNumber(line.y()));
        xml.writeAttribute(QStringLiteral("width"), svgNumber(line.width()));
        xml.writeAttribute(QStringLiteral("height"), svgNumber(line.height()));
        xml.writeAttribute(QStringLiteral("fill"), drawing.ink.name());
    }
    xml.writeEndDocument();
    return svg;
}
