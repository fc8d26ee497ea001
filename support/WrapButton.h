#pragma once

#include <QPushButton>

// A push button whose caption wraps onto several lines when it is wider than the button, as captions of
// the designed windows do. text() stays the caption as given. Enter and Return press it while it has the
// focus, as Space does, without making it a default button that Enter would press from elsewhere.
class WrapButton : public QPushButton {
    Q_OBJECT
public:
    explicit WrapButton(const QString &text, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
