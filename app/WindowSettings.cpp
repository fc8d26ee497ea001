#include "WindowSettings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <algorithm>

#include "ReaderSettings.h"

namespace {

// Whether a window at geometry could be grabbed by its title bar: a good part of its top edge is on the
// available area of a screen.
bool onScreen(const QRect &geometry)
{
    const QRect top(geometry.topLeft(), QSize(geometry.width(), std::min(geometry.height(), 40)));
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.cbegin(), screens.cend(), [&](const QScreen *screen) {
        const QRect seen = screen->availableGeometry().intersected(top);
        return seen.width() >= std::min(top.width(), 100) && seen.height() >= std::min(top.height(), 20);
    });
}

} // namespace

WindowSettings::WindowSettings(QMainWindow *window, std::function<Setup()> current)
    : QObject(window), window_(window), current_(std::move(current))
{
    const QRect geometry = readersettings::windowGeometry();
    if (geometry.isValid() && onScreen(geometry)) {
        const QScreen *screen = QGuiApplication::screenAt(geometry.topLeft());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const QSize room = screen ? screen->availableGeometry().size() : geometry.size();
        window->setGeometry(QRect(geometry.topLeft(), geometry.size().boundedTo(room)));
    }
    if (readersettings::windowMaximized())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    window->restoreState(readersettings::windowState()); // Qt refuses a state it cannot read
    window->installEventFilter(this);
}

WindowSettings::Setup WindowSettings::stored(const Setup &defaults,
                                             const std::function<bool(const QString &)> &isFolder)
{
    Setup setup = defaults;
    setup.options = readersettings::displayOptions(defaults.options);
    setup.order = readersettings::chatOrder();
    const QString folder = readersettings::folder();
    if (!folder.isEmpty() && isFolder(folder))
        setup.folder = folder;
    return setup;
}

bool WindowSettings::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window_ && event->type() == QEvent::Close) {
        const Setup setup = current_();
        readersettings::setWindow(window_->normalGeometry(), window_->isMaximized(), window_->saveState());
        readersettings::setDisplayOptions(setup.options);
        readersettings::setChatOrder(setup.order);
        readersettings::setFolder(setup.folder);
    }
    return QObject::eventFilter(watched, event);
}
