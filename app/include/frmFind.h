#pragma once

#include <QDialog>

#include "ChatSearch.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The modeless Find box of the main window: the text to find, whether its case must match, whether the
// search goes on from the other end of the chat and which way to search (remembered between runs). "Find
// Next" asks the owner to search (findNextRequested); the box stays open until Cancel, Esc or its close box
// hides it, and keeps its settings for the next time it is shown.
class frmFind : public QDialog {
    Q_OBJECT
public:
    explicit frmFind(QWidget *parent = nullptr);

    QString findText() const;
    bool matchCase() const;
    bool wrapAround() const;
    modMain::SearchDirection direction() const;

    // Shows the box in front with the text field focused and selected; a non-empty text replaces the
    // field's.
    void showFor(const QString &text);
    // Moves the box out of the way when it covers area (global coordinates), such as the match just
    // shown: below it when the screen has room there, else above it.
    void keepClearOf(const QRect &area);

signals:
    void findNextRequested();

public slots:
    void cmdFindNext_Click();
    void cmdCancel_Click();
    // "Find Next" is available while there is something to find.
    void txtFind_Change();

private:
    void createControls();

    QLabel *lblFind = nullptr;
    QLineEdit *txtFind = nullptr;
    QCheckBox *chkMatchCase = nullptr;
    QCheckBox *chkWrapAround = nullptr;
    QGroupBox *fraDirection = nullptr;
    QRadioButton *optUp = nullptr;
    QRadioButton *optDown = nullptr;
    QPushButton *cmdFindNext = nullptr;
    QPushButton *cmdCancel = nullptr;
};
