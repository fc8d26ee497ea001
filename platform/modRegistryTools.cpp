#include "modRegistryTools.h"

#ifdef Q_OS_WIN
#include "Win32Registry.h"
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

} // namespace
#endif

bool ReadRegistryValue(RootKey root, const QString &keyPath, const QString &valueName, QString &value)
{
    value.clear();
#ifdef Q_OS_WIN
    // The wide functions keep non-ANSI characters of a folder intact.
    std::wstring text;
    if (win32::readValue(rootHandle(root), keyPath.toStdWString(), valueName.toStdWString(), text) !=
        win32::ReadStatus::Ok)
        return false;
    value = QString::fromStdWString(text);
    return true;
#else
    return readWineRegistryValue(platformpaths::winePrefix(), root, keyPath, valueName, value);
#endif
}

QString registryPlace()
{
#ifdef Q_OS_WIN
    return QStringLiteral("the registry");
#else
    return QStringLiteral("the Wine prefix ") + platformpaths::winePrefix();
#endif
}

} // namespace modRegistryTools
