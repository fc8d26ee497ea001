#include "Win32Registry.h"

#include <algorithm>
#include <vector>

#include "RegistryValue.h"

namespace modRegistryTools::win32 {
namespace {

ReadStatus failure(LONG code, ReadStatus missing)
{
    return code == ERROR_FILE_NOT_FOUND ? missing : ReadStatus::Failed;
}

// One view: KEY_WOW64_32KEY, or 0 for the build's own.
ReadStatus readFromView(HKEY root, const std::wstring &keyPath, const std::wstring &valueName, REGSAM view,
                        std::wstring &value)
{
    HKEY key = nullptr;
    // Query rights only: a player without administrator rights may read HKEY_LOCAL_MACHINE, not write it.
    const LONG opened = RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_QUERY_VALUE | view, &key);
    if (opened != ERROR_SUCCESS)
        return failure(opened, ReadStatus::NoKey);

    // The limit applies to the data's size in bytes as the registry reports it: the buffer holds
    // kMaxValueBytes bytes and larger data fails with ERROR_MORE_DATA. A string counts two bytes a
    // character, its terminating zero included, so 511 characters is the longest that fits.
    std::vector<unsigned char> data(kMaxValueBytes, 0);
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(data.size());
    const LONG queried = RegQueryValueExW(key, valueName.c_str(), nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (queried == ERROR_MORE_DATA)
        return ReadStatus::TooLong;
    if (queried != ERROR_SUCCESS)
        return failure(queried, ReadStatus::NoValue);

    // size is the stored size: a string need not end in a zero, which valueFromData allows for.
    std::u16string text;
    if (!valueFromData(type, data.data(), size, text))
        return ReadStatus::TooLong;
    value.assign(text.begin(), text.end()); // wchar_t is UTF-16 on Windows
    return ReadStatus::Ok;
}

} // namespace

ReadStatus readValue(HKEY root, const std::wstring &keyPath, const std::wstring &valueName,
                     std::wstring &value)
{
    value.clear();
    const ReadStatus wow32 = readFromView(root, keyPath, valueName, KEY_WOW64_32KEY, value);
    if (wow32 == ReadStatus::Ok)
        return wow32;
    const ReadStatus native = readFromView(root, keyPath, valueName, 0, value);
    return native == ReadStatus::Ok ? native : std::max(wow32, native);
}

} // namespace modRegistryTools::win32
