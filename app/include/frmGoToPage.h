#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;

// The modal "Go to Page" box: asks for a page number from 1 to the page count, starting at the page
// shown. OK (or Enter) accepts it; a number beyond the range stays as typed and is refused (OK
// disabled, Enter beeps). Cancel, Esc and the close box leave the page as it is.
class frmGoToPage : public QDialog {
    Q_OBJECT
public:
    frmGoToPage(int currentPage, int pageCount, QWidget *parent = nullptr);

    int page() const;

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    QLabel *lblPageNumber = nullptr;
    QSpinBox *txtPageNumber = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};
