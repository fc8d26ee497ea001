#include "RegistryData.h"

namespace modRegistryTools {

bool valueFromData(quint32 type, QByteArrayView data, QString &value)
{
    std::u16string text;
    const bool ok = valueFromData(type, reinterpret_cast<const unsigned char *>(data.data()),
                                  static_cast<std::size_t>(data.size()), text);
    value = QString::fromStdU16String(text);
    return ok;
}

} // namespace modRegistryTools
