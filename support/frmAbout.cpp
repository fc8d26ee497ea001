#include "frmAbout.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QScreen>

#include "AppIcon.h"
#include "DesignedControls.h"
#include "Twips.h"

namespace {

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

// One line of the separator: a solid strip from x1 up to (not including) x2, thickness pixels high, in
// one of the palette's shades, so that the rule looks etched in any colour scheme.
QFrame *makeLine(QWidget *parent, const QString &name, QPalette::ColorRole shade, double x1, double x2,
                 double y, int thickness)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    line->setBackgroundRole(shade);
    const int left = twips::toPixels(x1);
    line->setGeometry(left, twips::toPixels(y), twips::toPixels(x2) - left, thickness);
    return line;
}

} // namespace

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About the Evenfall Chat Log Reader"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(appIcon());
    setFont(twips::designFont());
    createControls();

    // Over its owner, where the user is looking (a dialog that was never moved is centred on its owner
    // when shown); without one, at its designed place on the screen.
    const QRect designed = twips::toRect(2340, 1935, 5730, 3555);
    if (parent) {
        resize(designed.size());
    } else {
        const QScreen *screen = QGuiApplication::primaryScreen();
        setGeometry(designed.translated(screen ? screen->geometry().topLeft() : QPoint()));
    }
    setFixedSize(size());

    cmdOK->setFocus();
    Form_Load();
}

void frmAbout::createControls()
{
    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(appIcon().pixmap(QSize(32, 32), devicePixelRatio()));
    // Designed 540 twips square, but it sizes itself to its 32-pixel picture.
    picIcon->setGeometry(twips::toPixels(240), twips::toPixels(240), 32, 32);

    lblTitle = makeLabel(this, QStringLiteral("lblTitle"), QStringLiteral("Application Title"));
    twips::setGeometry(lblTitle, 1050, 240, 3885, 480);
    lblVersion = makeLabel(this, QStringLiteral("lblVersion"), QStringLiteral("Version"));
    twips::setGeometry(lblVersion, 1050, 780, 3885, 225);
    lblDescription = makeLabel(this, QStringLiteral("lblDescription"), QStringLiteral("App Description"));
    twips::setGeometry(lblDescription, 1050, 1125, 3885, 1170);

    // An etched rule: a shadow line with a highlight just under it (grey and white in a light scheme).
    Line1[0] = makeLine(this, QStringLiteral("Line1_0"), QPalette::Light, 105, 5654, 2460, 2);
    Line1[1] = makeLine(this, QStringLiteral("Line1_1"), QPalette::Dark, 90, 5654, 2445, 1);

    lblDisclaimer = makeLabel(this, QStringLiteral("lblDisclaimer"), QString());
    twips::setGeometry(lblDisclaimer, 255, 2625, 3870, 825);

    cmdOK = makeButton(this, QStringLiteral("cmdOK"), QStringLiteral("OK"));
    twips::setGeometry(cmdOK, 4245, 3120, 1260, 345);
    cmdOK->setAutoDefault(true);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
}

void frmAbout::Form_Load()
{
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(EVENFALL_VERSION_MAJOR)
                            .arg(EVENFALL_VERSION_MINOR)
                            .arg(EVENFALL_VERSION_PATCH));
    lblTitle->setText(QStringLiteral(EVENFALL_APP_TITLE));
    lblDescription->setText(
        QStringLiteral("Written by the Evenfall Chat Log Reader developers.") + QStringLiteral("\r\n\r\n") +
        QStringLiteral("Thanks to the players who asked for a way to read their chat logs."));
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Esc is OK's key too: the box has nothing to cancel.
    if (event->matches(QKeySequence::Cancel)) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
