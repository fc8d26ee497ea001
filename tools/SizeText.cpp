// Sizes as the generator's users write them: the command line and the benchmarks' size lists.

#include <cstdint>

#include "LogGenerator.h"

namespace loggen {

bool parseSize(std::string_view text, std::uint64_t *size)
{
    std::uint64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (UINT64_MAX - 9) / 10)
            return false;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    if (i == 0)
        return false;
    int shift = 0;
    if (i + 1 == text.size()) {
        switch (text[i]) {
        case 'K':
        case 'k':
            shift = 10;
            break;
        case 'M':
        case 'm':
            shift = 20;
            break;
        case 'G':
        case 'g':
            shift = 30;
            break;
        default:
            return false;
        }
    } else if (i != text.size()) {
        return false;
    }
    if (value == 0 || value > (UINT64_MAX >> shift))
        return false;
    *size = value << shift;
    return true;
}

} // namespace loggen
