#include "frmGoToPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "DesignedControls.h"
#include "Twips.h"

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
    // A spin box takes only numbers within the range; typing replaces the page shown at first.
    txtPageNumber = new QSpinBox(this);
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
