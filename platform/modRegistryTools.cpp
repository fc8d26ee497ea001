#include "modRegistryTools.h"

#ifdef Q_OS_WIN
#include "RegistryData.h"

#include <QByteArray>

#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "PlatformPaths.h"
#include "WineRegistry.h"
#endif

namespace modRegistryTools {

#ifdef Q_OS_WIN
namespace {

HKEY rootHandle(RootKey root)
{
    switch (root) {
    case RootKey::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RootKey::CurrentUser:
        return HKEY_CURRENT_USER;
    case RootKey::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RootKey::Users:
        return HKEY_USERS;
    }
    return HKEY_LOCAL_MACHINE;
}

// Reads the value in one registry view: view is KEY_WOW64_32KEY, or 0 for the build's own view. The
// wide functions keep non-ANSI characters of a folder intact.
bool readFromView(HKEY root, const QString &keyPath, const QString &valueName, REGSAM view, QString &value)
{
    const std::wstring path = keyPath.toStdWString();
    const std::wstring name = valueName.toStdWString(); // "" names the default value
    HKEY key = nullptr;
    // Query rights only: a player without administrator rights may read HKEY_LOCAL_MACHINE, not write it.
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return false;

    // The limit applies to the data's size in bytes as the registry reports it: the buffer holds
    // kMaxValueBytes bytes and larger data fails with ERROR_MORE_DATA. A string counts two bytes a
    // character, its terminating zero included, so 511 characters is the longest that fits.
    QByteArray data(kMaxValueBytes, '\0');
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(data.size());
    const LONG status =
        RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return false;
    // size is the stored size: a string need not end in a zero, which valueFromData allows for.
    data.truncate(static_cast<qsizetype>(size));
    return valueFromData(type, data, value);
}

} // namespace
#endif

bool ReadRegistryValue(RootKey root, const QString &keyPath, const QString &valueName, QString &value)
{
    value.clear();
#ifdef Q_OS_WIN
    // The game's 32-bit installer writes into the 32-bit view, which a 64-bit build must ask for.
    const HKEY rootKey = rootHandle(root);
    return readFromView(rootKey, keyPath, valueName, KEY_WOW64_32KEY, value) ||
           readFromView(rootKey, keyPath, valueName, 0, value);
#else
    return readWineRegistryValue(platformpaths::winePrefix(), root, keyPath, valueName, value);
#endif
}

} // namespace modRegistryTools
