#include "DesignedControls.h"

#include <QLabel>
#include <QPainter>
#include <QPalette>

#include "WrapButton.h"

namespace {

// Painted rather than set in its palette, so that the bar follows a change of colour scheme at run time.
class HeaderLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        {
            QPainter painter(this);
            painter.fillRect(rect(), headerBarColor(palette()));
        }
        QLabel::paintEvent(event);
    }
};

} // namespace

QColor headerBarColor(const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    auto mix = [](int background, int foreground) { return (background * 4 + foreground + 2) / 5; };
    return QColor(mix(window.red(), text.red()), mix(window.green(), text.green()),
                  mix(window.blue(), text.blue()));
}

QLabel *makeHeaderLabel(QWidget *parent, const QString &name, const QString &caption)
{
    auto *label = new HeaderLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new WrapButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}
