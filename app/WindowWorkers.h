#pragma once

#include <QThreadPool>

#include <memory>

// The threads that the main window's work runs on: a pool of their own, since Qt's painting borrows
// threads from the global one and must never wait behind a long import.
QThreadPool *windowWorkers();

// Lets go of a large value on one of those threads, so that freeing it does not hold up the window.
template <typename T> void releaseInWorker(std::shared_ptr<T> value)
{
    if (value)
        windowWorkers()->start([doomed = std::move(value)]() mutable { doomed.reset(); });
}
