#pragma once

// The Windows registry back end of ReadRegistryValue. Plain C++ and the Win32 API, without Qt, so that
// it builds with a cross compiler alone and its test runs under Wine; the caller converts the text.

#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace modRegistryTools::win32 {

// Ordered from the least to the most telling failure; Ok is success.
enum class ReadStatus { Ok, NoKey, NoValue, TooLong, Failed };

// Reads the value valueName ("" = the key's default value) of keyPath below root, asking for query
// rights only. The 32-bit view, where the game's 32-bit installer writes, is read first and the native
// view when nothing could be read there. Ok: value holds the text of a string (one trailing zero
// dropped), the unsigned decimal text of a DWORD, or nothing for any other type. Otherwise value is
// empty and the status is the most telling failure of the two views: NoKey, NoValue, TooLong (more than
// kMaxValueBytes bytes) or Failed (refused or unreadable).
ReadStatus readValue(HKEY root, const std::wstring &keyPath, const std::wstring &valueName,
                     std::wstring &value);

} // namespace modRegistryTools::win32
