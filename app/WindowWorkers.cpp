#include "WindowWorkers.h"

Q_GLOBAL_STATIC(QThreadPool, workers)

QThreadPool *windowWorkers()
{
    return workers();
}
