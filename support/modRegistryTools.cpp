#include "modRegistryTools.h"

namespace modRegistryTools {

bool ReadRegistryValue(RootKey, const QString &, const QString &, QString &value)
{
    value.clear();
    return false;
}

} // namespace modRegistryTools
