#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "ChatSummary.h"
#include "modMain.h"

class QMainWindow;

// The window's set-up between runs: the window's geometry and the state of its docks, the display
// options, the order of the chats and the folder in Path. Restored item by item, each only when what is
// stored makes sense (a size, a place where the title bar can be grabbed, a folder that exists, a known
// order...), so that nothing stored, or nonsense, leaves the window as at a first start; saved when the
// window closes.
class WindowSettings : public QObject {
    Q_OBJECT
public:
    struct Setup {
        modMain::DisplayOptions options;
        modMain::ChatOrder order = modMain::ChatOrder::Appearance;
        QString folder; // as Path shows it
    };

    // Restores window's geometry and docks at once; current() gives the rest when the window closes.
    WindowSettings(QMainWindow *window, std::function<Setup()> current);

    // The stored set-up, where it makes sense, else the item of defaults. isFolder tells whether a
    // folder as Path shows it exists.
    static Setup stored(const Setup &defaults, const std::function<bool(const QString &)> &isFolder);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMainWindow *window_;
    std::function<Setup()> current_;
};
