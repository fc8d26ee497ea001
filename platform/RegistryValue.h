#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What every registry back end shares: turning a value's stored bytes into the text callers get. Plain
// C++ without Qt, so that the Windows back end and its test build with a cross compiler alone.
namespace modRegistryTools {

// Longer data is refused rather than cut: a cut folder path would look like a whole one.
inline constexpr std::size_t kMaxValueBytes = 1024;

enum ValueType : std::uint32_t { RegSz = 1, RegExpandSz = 2, RegBinary = 3, RegDword = 4, RegMultiSz = 7 };

// The text of a value of the given type whose data is size bytes at data (strings as UTF-16LE). RegSz:
// the text with one trailing zero character dropped; RegDword: the unsigned decimal text of its
// little-endian number; empty data or any other type: true with an empty value. False with an empty
// value when the data holds more than kMaxValueBytes bytes.
bool valueFromData(std::uint32_t type, const unsigned char *data, std::size_t size, std::u16string &value);

} // namespace modRegistryTools
