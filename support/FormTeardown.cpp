#include "FormTeardown.h"

#include <QObject>

void disconnectChildrenFrom(QObject *form)
{
    const QList<QObject *> children = form->findChildren<QObject *>();
    for (QObject *child : children)
        QObject::disconnect(child, nullptr, form, nullptr);
}
