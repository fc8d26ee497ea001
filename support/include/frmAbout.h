#pragma once

#include <QDialog>

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;

// The About box: the program's icon, title, version and credits, and an OK button that closes it.
// Enter, Esc and the close box close it as OK does. Create a fresh box for every opening.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

public slots:
    // Puts the version, title and credits into their labels; called once by the constructor.
    void Form_Load();
    void cmdOK_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();

    // Controls, named as in the box's design. Line1 is an etched separator of two lines.
    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QFrame *Line1[2] = {nullptr, nullptr};
    QLabel *lblDisclaimer = nullptr;
    QPushButton *cmdOK = nullptr;
};
