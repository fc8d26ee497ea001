#pragma once

#include <QString>

#include "modRegistryTools.h"

namespace modRegistryTools {

// Reads a value from the registry files of the Wine prefix prefixFolder, with the results of
// ReadRegistryValue. LocalMachine is the prefix's system.reg and CurrentUser its user.reg; other roots
// give false. Below LocalMachine\Software the 32-bit view (Software\Wow6432Node\...) is read first, then
// the key itself. Key and value names compare case-insensitively. A missing prefix or file, a file that
// is not a regular file (never waited on: a FIFO in its place does not hang the caller), a missing key
// or value, and an entry that cannot be parsed all give false with an empty value; the file is read
// afresh on every call.
bool readWineRegistryValue(const QString &prefixFolder, RootKey root, const QString &keyPath,
                           const QString &valueName, QString &value);

} // namespace modRegistryTools
