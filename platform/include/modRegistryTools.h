#pragma once

#include <QString>

// Reading one value from the registry: on Windows the system registry, elsewhere the hive of the Wine
// prefix in which a player runs the game.
namespace modRegistryTools {

enum class RootKey { ClassesRoot, CurrentUser, LocalMachine, Users };

// Reads the value valueName ("" = the key's default value) of keyPath below root into value.
// True with the text of a string value (one trailing zero dropped) or the decimal text of a 32-bit
// number; true with an empty value for any other type. False with an empty value when the key or value
// is missing, cannot be read, or holds more than 1024 bytes.
bool ReadRegistryValue(RootKey root, const QString &keyPath, const QString &valueName, QString &value);

// Where ReadRegistryValue reads, as the user knows it: "the registry" on Windows, elsewhere "the Wine
// prefix " and its folder.
QString registryPlace();

} // namespace modRegistryTools
