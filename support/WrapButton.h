#pragma once

#include <QPushButton>

// A push button whose caption wraps onto several lines when it is wider than the button, as captions of
// the designed windows do. text() stays the caption as given.
class WrapButton : public QPushButton {
    Q_OBJECT
public:
    explicit WrapButton(const QString &text, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
