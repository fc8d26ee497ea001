#include "RegistryValue.h"

namespace modRegistryTools {

bool valueFromData(std::uint32_t type, const unsigned char *data, std::size_t size, std::u16string &value)
{
    value.clear();
    if (size > kMaxValueBytes)
        return false;
    if (size == 0)
        return true;

    const auto byteAt = [data, size](std::size_t i) {
        return i < size ? data[i] : static_cast<unsigned char>(0);
    };
    switch (type) {
    case RegSz: {
        // Neither the terminating zero nor an even size is guaranteed: a lone last byte reads as a
        // character with a zero high byte, as it would from a zero-filled buffer.
        const std::size_t units = (size + 1) / 2;
        value.resize(units);
        for (std::size_t i = 0; i < units; ++i)
            value[i] = static_cast<char16_t>(byteAt(2 * i) | byteAt(2 * i + 1) << 8);
        if (value.back() == u'\0')
            value.pop_back();
        return true;
    }
    case RegDword: {
        // Read as unsigned: 2^31 and above give their positive decimal text. Short data counts as
        // zero-filled, as in a zeroed buffer.
        std::uint32_t number = 0;
        for (std::size_t i = 0; i < 4; ++i)
            number |= std::uint32_t{byteAt(i)} << (8 * i);
        const std::string digits = std::to_string(number);
        value.assign(digits.begin(), digits.end());
        return true;
    }
    default:
        // Readable, but nothing callers can use as text.
        return true;
    }
}

} // namespace modRegistryTools
