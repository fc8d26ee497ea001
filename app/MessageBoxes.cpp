#include "MessageBoxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>

void execWithRoomForTitle(QMessageBox &box)
{
    // A strut across the box makes room for the title in a bold title font and the frame's buttons.
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int room = metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height();
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0,
                      1, grid->columnCount());
    box.exec();
}

void showMessageBox(QWidget *parent, const QString &text, BoxStyle style, const QString &title)
{
    QMessageBox box(style == BoxStyle::Critical ? QMessageBox::Critical : QMessageBox::Warning, title, text,
                    QMessageBox::Ok, parent);
    execWithRoomForTitle(box);
}
