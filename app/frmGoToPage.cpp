#include "frmGoToPage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

#include "DesignedControls.h"
#include "Twips.h"

namespace {

// A spin box that keeps a number typed beyond the last page as it stands. A plain one drops the
// keystroke, so that "99" of 13 pages silently became page 9; here the box refuses it instead: OK is
// disabled and Enter only beeps until the field holds a page.
class PageNumberBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString &text, int &position) const override
    {
        const QValidator::State state = QSpinBox::validate(text, position);
        const bool digits = !text.isEmpty() && text.size() <= 9 &&
                            std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
        return state == QValidator::Invalid && digits ? QValidator::Intermediate : state;
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !hasAcceptableInput()) {
            QApplication::beep();
            event->accept();
            return;
        }
        QSpinBox::keyPressEvent(event);
    }
    void stepBy(int steps) override
    {
        if (!hasAcceptableInput())
            lineEdit()->setText(textFromValue(value())); // the arrows go on from the last page it held
        QSpinBox::stepBy(steps);
    }
};

} // namespace

frmGoToPage::frmGoToPage(int currentPage, int pageCount, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmGoToPage"));
    setWindowTitle(QStringLiteral("Go to Page"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(twips::designFont());

    lblPageNumber = new QLabel(QStringLiteral("&Page number (1 - %1):").arg(pageCount), this);
    lblPageNumber->setObjectName(QStringLiteral("lblPageNumber"));
    twips::setGeometry(lblPageNumber, 120, 120, 2655, 255);
    // The arrows keep to the range; typing replaces the page shown at first.
    txtPageNumber = new PageNumberBox(this);
    txtPageNumber->setObjectName(QStringLiteral("txtPageNumber"));
    txtPageNumber->setRange(1, std::max(1, pageCount));
    txtPageNumber->setValue(currentPage);
    twips::setGeometry(txtPageNumber, 120, 405, 2655, 315);
    lblPageNumber->setBuddy(txtPageNumber);

    cmdOK = makeButton(this, QStringLiteral("cmdOK"), QStringLiteral("OK"));
    twips::setGeometry(cmdOK, 240, 900, 1215, 375);
    cmdOK->setDefault(true);
    cmdCancel = makeButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"));
    twips::setGeometry(cmdCancel, 1560, 900, 1215, 375);
    connect(cmdOK, &QPushButton::clicked, this, &frmGoToPage::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmGoToPage::cmdCancel_Click);
    // The spin box's own signal waits for a number in range; its text field tells every keystroke.
    connect(txtPageNumber->findChild<QLineEdit *>(), &QLineEdit::textChanged, this,
            [this] { cmdOK->setEnabled(txtPageNumber->hasAcceptableInput()); });

    resize(twips::toPixels(2895), twips::toPixels(1395));
    setFixedSize(size());
    txtPageNumber->setFocus();
    txtPageNumber->selectAll();
}

int frmGoToPage::page() const
{
    return txtPageNumber->value();
}

void frmGoToPage::cmdOK_Click()
{
    accept();
}

void frmGoToPage::cmdCancel_Click()
{
    reject();
}
