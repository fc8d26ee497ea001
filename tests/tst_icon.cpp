#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>

#include "AppIcon.h"

// The installed icon files come from appIconImage and appIconSvg; the SVG, read back by an SVG
// renderer that shares nothing with the writer, must show what the program paints.
class tst_Icon : public QObject {
    Q_OBJECT
private slots:
    void svgShowsThePaintedIcon();
};

void tst_Icon::svgShowsThePaintedIcon()
{
    const QByteArray svg = appIconSvg();

    QXmlStreamReader xml(svg);
    while (!xml.atEnd())
        xml.readNext();
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

    QSvgRenderer renderer(svg);
    QVERIFY(renderer.isValid());
    QCOMPARE(renderer.viewBoxF(), QRectF(0, 0, 32, 32));

    const int size = 256;
    const QImage painted = appIconImage(size).convertToFormat(QImage::Format_ARGB32);
    QImage rendered(size, size, QImage::Format_ARGB32);
    rendered.fill(Qt::transparent);
    QPainter painter(&rendered);
    renderer.render(&painter);
    painter.end();

    // Both are drawn by Qt's raster engine, so they agree but for a few edge pixels at most; a wrong
    // shape, gradient, outline or join shows as many more.
    int differing = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb a = painted.pixel(x, y);
            const QRgb b = rendered.pixel(x, y);
            const int distance = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                           std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            differing += distance > 8;
        }
    }
    QVERIFY2(differing <= 16, qPrintable(QStringLiteral("%1 pixels differ").arg(differing)));
}

QTEST_MAIN(tst_Icon)
#include "tst_icon.moc"
