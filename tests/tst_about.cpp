#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "AppIcon.h"
#include "GuiTestHelpers.h"
#include "Twips.h"
#include "frmAbout.h"

namespace {

QString text(QDialog *box, const char *label)
{
    return box->findChild<QLabel *>(QLatin1String(label))->text();
}

// Whether an image holds a picture: some pixels drawn, some left clear.
bool hasPicture(const QImage &image)
{
    bool opaque = false, clear = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            (qAlpha(image.pixel(x, y)) == 255 ? opaque : clear) = true;
    }
    return opaque && clear;
}

} // namespace

class tst_About : public QObject {
    Q_OBJECT
private slots:
    void designedBox();
    void sameTextsAtEveryOpening();
    void closes_data();
    void closes();
    void iconIsPainted();
    void colourSchemes_data();
    void colourSchemes();
};

void tst_About::designedBox()
{
    frmAbout box;
    QCOMPARE(box.windowTitle(), QStringLiteral("About the Evenfall Chat Log Reader"));
    QVERIFY(!(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    struct Control {
        const char *name;
        int l, t, w, h;
    };
    for (const Control &c :
         {Control{"lblTitle", 1050, 240, 3885, 480}, Control{"lblVersion", 1050, 780, 3885, 225},
          Control{"lblDescription", 1050, 1125, 3885, 1170}, Control{"lblDisclaimer", 255, 2625, 3870, 825},
          Control{"cmdOK", 4245, 3120, 1260, 345}}) {
        auto *widget = box.findChild<QWidget *>(QLatin1String(c.name));
        QVERIFY2(widget, c.name);
        QCOMPARE(widget->geometry(), twips::toRect(c.l, c.t, c.w, c.h));
    }
    QCOMPARE(box.findChild<QPushButton *>(QStringLiteral("cmdOK"))->text(), QStringLiteral("OK"));
    QCOMPARE(text(&box, "lblDisclaimer"), QString());
    auto *icon = box.findChild<QLabel *>(QStringLiteral("picIcon"));
    QCOMPARE(icon->geometry(), QRect(16, 16, 32, 32)); // sized to its picture
    QCOMPARE(icon->pixmap().deviceIndependentSize(), QSizeF(32, 32));

    // The etched rule: a shadow line from (90, 2445) and a highlight, 2 pixels, from (105, 2460) twips,
    // both to 5654.
    auto *shadow = box.findChild<QFrame *>(QStringLiteral("Line1_1"));
    auto *highlight = box.findChild<QFrame *>(QStringLiteral("Line1_0"));
    QCOMPARE(shadow->geometry(), QRect(6, 163, 371, 1));
    QCOMPARE(highlight->geometry(), QRect(7, 164, 370, 2));

    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.geometry(), twips::toRect(2340, 1935, 5730, 3555));
    QCOMPARE(box.minimumSize(), box.maximumSize()); // not resizable
    QTRY_COMPARE(QApplication::focusWidget(), box.findChild<QWidget *>(QStringLiteral("cmdOK")));
}

void tst_About::sameTextsAtEveryOpening()
{
    QStringList seen[2];
    for (QStringList &texts : seen) {
        frmAbout box;
        execAnswered(box, [&](QDialog *shown) {
            for (const char *label : {"lblTitle", "lblVersion", "lblDescription"})
                texts.append(text(shown, label));
            QTest::mouseClick(shown->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
    }
    QCOMPARE(seen[1], seen[0]);
    QCOMPARE(seen[0][0], QStringLiteral("Evenfall Chat Log Reader"));
    QCOMPARE(seen[0][1], QStringLiteral("Version " EVENFALL_VERSION_STRING)); // the version CMake declares
    const QStringList description = seen[0][2].split(QStringLiteral("\r\n"));
    QCOMPARE(description.size(), 3);
    QVERIFY(!description[0].isEmpty() && description[1].isEmpty() && !description[2].isEmpty());
}

void tst_About::closes_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("close box") << 0;
}

void tst_About::closes()
{
    QFETCH(int, key);
    frmAbout box;
    bool leftOpen = true;
    execAnswered(
        box,
        [&](QDialog *shown) {
            if (key)
                QTest::keyClick(shown->focusWidget(), Qt::Key(key));
            else
                shown->close();
        },
        &leftOpen);
    QVERIFY(!leftOpen);
}

void tst_About::iconIsPainted()
{
    const QIcon icon = appIcon();
    for (int size : {16, 32}) {
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        QVERIFY2(hasPicture(icon.pixmap(size, size).toImage()), qPrintable(QString::number(size)));
    }
}

void tst_About::colourSchemes_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void tst_About::colourSchemes()
{
    QFETCH(bool, dark);
    std::unique_ptr<DarkPalette> scheme(dark ? new DarkPalette : nullptr);
    frmAbout box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QPalette palette = QApplication::palette();
    const QImage shot = box.grab().toImage();
    QCOMPARE(shot.pixelColor(2, 2).rgb(), palette.color(QPalette::Window).rgb());

    // Every text contrasts with the box behind it.
    for (const char *name : {"lblTitle", "lblVersion", "lblDescription", "cmdOK"}) {
        auto *control = box.findChild<QWidget *>(QLatin1String(name));
        const RenderedColours colours = renderedColours(control);
        QVERIFY2(
            contrastRatio(colours.ink, colours.background) >= 4.5,
            qPrintable(
                QStringLiteral("%1: %2 on %3").arg(name, colours.ink.name(), colours.background.name())));
        if (qobject_cast<QLabel *>(control))
            QCOMPARE(colours.background.rgb(), palette.color(QPalette::Window).rgb());
    }
    // The rule is etched in the scheme's own shades (grey and white in a light one), not a bright bar.
    const QRect shadow = box.findChild<QFrame *>(QStringLiteral("Line1_1"))->geometry();
    const QRect highlight = box.findChild<QFrame *>(QStringLiteral("Line1_0"))->geometry();
    QCOMPARE(shot.pixelColor(shadow.center()).rgb(), palette.color(QPalette::Dark).rgb());
    QCOMPARE(shot.pixelColor(highlight.center()).rgb(), palette.color(QPalette::Light).rgb());
    if (dark)
        QVERIFY(palette.color(QPalette::Light).lightness() < 128);
    else
        QCOMPARE(palette.color(QPalette::Light), QColor(Qt::white));
}

QTEST_MAIN(tst_About)
#include "tst_about.moc"
