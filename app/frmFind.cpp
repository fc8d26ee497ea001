#include "frmFind.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "DesignedControls.h"
#include "ReaderSettings.h"
#include "Twips.h"

frmFind::frmFind(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(twips::designFont());
    createControls();
    resize(twips::toPixels(5775), twips::toPixels(1695));
    setFixedSize(size());
    txtFind_Change();
}

void frmFind::createControls()
{
    lblFind = new QLabel(QStringLiteral("Fi&nd what:"), this);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    twips::setGeometry(lblFind, 120, 180, 1020, 255);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    twips::setGeometry(txtFind, 1140, 150, 3135, 315);
    lblFind->setBuddy(txtFind);

    // The options are remembered between runs: whoever wants a search to go round wants it every time.
    chkMatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    twips::setGeometry(chkMatchCase, 120, 1050, 1755, 255);
    chkMatchCase->setChecked(readersettings::findMatchesCase());
    chkWrapAround = new QCheckBox(QStringLiteral("Wrap a&round"), this);
    chkWrapAround->setObjectName(QStringLiteral("chkWrapAround"));
    twips::setGeometry(chkWrapAround, 120, 1335, 1755, 255);
    chkWrapAround->setChecked(readersettings::findWrapsAround());

    fraDirection = new QGroupBox(QStringLiteral("Direction"), this);
    fraDirection->setObjectName(QStringLiteral("fraDirection"));
    twips::setGeometry(fraDirection, 2280, 570, 1995, 735);
    optUp = new QRadioButton(QStringLiteral("&Up"), fraDirection);
    optUp->setObjectName(QStringLiteral("optUp"));
    twips::setGeometry(optUp, 120, 330, 735, 255);
    optDown = new QRadioButton(QStringLiteral("&Down"), fraDirection);
    optDown->setObjectName(QStringLiteral("optDown"));
    twips::setGeometry(optDown, 960, 330, 915, 255);
    (readersettings::findSearchesUp() ? optUp : optDown)->setChecked(true);

    // Find Next is the default button, so Enter in the text field searches.
    cmdFindNext = makeButton(this, QStringLiteral("cmdFindNext"), QStringLiteral("&Find Next"));
    twips::setGeometry(cmdFindNext, 4440, 120, 1215, 375);
    cmdFindNext->setDefault(true);
    cmdCancel = makeButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"));
    twips::setGeometry(cmdCancel, 4440, 600, 1215, 375);

    QWidget::setTabOrder(txtFind, chkMatchCase);
    QWidget::setTabOrder(chkMatchCase, chkWrapAround);
    QWidget::setTabOrder(chkWrapAround, optUp);
    QWidget::setTabOrder(optUp, optDown);
    QWidget::setTabOrder(optDown, cmdFindNext);
    QWidget::setTabOrder(cmdFindNext, cmdCancel);

    connect(txtFind, &QLineEdit::textChanged, this, &frmFind::txtFind_Change);
    connect(cmdFindNext, &QPushButton::clicked, this, &frmFind::cmdFindNext_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFind::cmdCancel_Click);
    connect(chkWrapAround, &QCheckBox::toggled, this, &readersettings::setFindWrapsAround);
    connect(chkMatchCase, &QCheckBox::toggled, this, &readersettings::setFindMatchesCase);
    connect(optUp, &QRadioButton::toggled, this, &readersettings::setFindSearchesUp);
}

QString frmFind::findText() const
{
    return txtFind->text();
}

bool frmFind::matchCase() const
{
    return chkMatchCase->isChecked();
}

bool frmFind::wrapAround() const
{
    return chkWrapAround->isChecked();
}

modMain::SearchDirection frmFind::direction() const
{
    return optUp->isChecked() ? modMain::SearchDirection::Up : modMain::SearchDirection::Down;
}

void frmFind::showFor(const QString &text)
{
    if (!text.isEmpty())
        txtFind->setText(text);
    show();
    raise();
    activateWindow();
    txtFind->setFocus(Qt::OtherFocusReason);
    txtFind->selectAll();
}

void frmFind::keepClearOf(const QRect &area)
{
    const QRect box = frameGeometry(); // a window is placed by its frame
    if (!box.intersects(area))
        return;
    const QRect available = screen()->availableGeometry();
    const int gap = area.height();
    QPoint to(box.x(), area.bottom() + gap);
    if (to.y() + box.height() > available.bottom())
        to.setY(area.top() - gap - box.height());
    move(to);
}

void frmFind::cmdFindNext_Click()
{
    if (!txtFind->text().isEmpty())
        emit findNextRequested();
}

void frmFind::cmdCancel_Click()
{
    reject(); // hides the modeless box
}

void frmFind::txtFind_Change()
{
    cmdFindNext->setEnabled(!txtFind->text().isEmpty());
}
