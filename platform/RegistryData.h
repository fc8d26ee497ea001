#pragma once

#include <QByteArrayView>
#include <QString>

#include "RegistryValue.h"

namespace modRegistryTools {

// valueFromData for the Qt side: the same results, from and into Qt's types.
bool valueFromData(quint32 type, QByteArrayView data, QString &value);

} // namespace modRegistryTools
