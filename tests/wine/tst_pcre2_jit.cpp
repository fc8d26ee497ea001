// PCRE2 as the Windows build links it (static, 8- and 16-bit code units, JIT), run under Wine by
// scripts/test-windows.sh: the JIT compiler must work in a Windows process (it needs executable
// memory), and a pattern that runs away must end with an error, never as a non-match.

#define PCRE2_CODE_UNIT_WIDTH 0
#include <pcre2.h>

#include <cstdio>
#include <string>

namespace {

int failed = 0;

void expect(bool ok, const char *what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
    failed += ok ? 0 : 1;
}

} // namespace

int main()
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    size_t jitSize = 0;

    const char *pattern8 = "\\[(\\w+): (\\w+)\\]";
    pcre2_code_8 *code8 = pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(pattern8), PCRE2_ZERO_TERMINATED,
                                          PCRE2_UTF, &error, &offset, nullptr);
    expect(code8 != nullptr, "8-bit pattern compiles");
    expect(code8 && pcre2_jit_compile_8(code8, PCRE2_JIT_COMPLETE) == 0, "8-bit JIT compiles");
    expect(code8 && pcre2_pattern_info_8(code8, PCRE2_INFO_JITSIZE, &jitSize) == 0 && jitSize > 0,
           "8-bit pattern has JIT code");
    pcre2_match_data_8 *data8 = code8 ? pcre2_match_data_create_from_pattern_8(code8, nullptr) : nullptr;
    const char *line8 = "[06/14/2005 21:00:10] [Trade: Orrik] selling ore";
    expect(data8 && pcre2_match_8(code8, reinterpret_cast<PCRE2_SPTR8>(line8), PCRE2_ZERO_TERMINATED, 0, 0,
                                  data8, nullptr) == 3,
           "8-bit JIT match finds both groups");

    const std::u16string pattern16 = u"caf\u00e9";
    pcre2_code_16 *code16 =
        pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(pattern16.c_str()), pattern16.size(),
                         PCRE2_UTF | PCRE2_CASELESS, &error, &offset, nullptr);
    expect(code16 && pcre2_jit_compile_16(code16, PCRE2_JIT_COMPLETE) == 0, "16-bit JIT compiles");
    pcre2_match_data_16 *data16 = code16 ? pcre2_match_data_create_from_pattern_16(code16, nullptr) : nullptr;
    const std::u16string line16 = u"Orrik tells you: CAF\u00c9?";
    expect(data16 && pcre2_match_16(code16, reinterpret_cast<PCRE2_SPTR16>(line16.c_str()), line16.size(), 0,
                                    0, data16, nullptr) == 1,
           "16-bit JIT match ignores case outside ASCII");

    // Nested repeats on a line that does not end as the pattern wants: exponential work.
    const std::u16string runaway = u"(\\w+\\s?)+$";
    pcre2_code_16 *slow = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(runaway.c_str()), runaway.size(),
                                           PCRE2_UTF, &error, &offset, nullptr);
    expect(slow && pcre2_jit_compile_16(slow, PCRE2_JIT_COMPLETE) == 0, "runaway pattern JIT compiles");
    pcre2_match_context_16 *context = pcre2_match_context_create_16(nullptr);
    pcre2_set_match_limit_16(context, 100000);
    pcre2_match_data_16 *slowData = slow ? pcre2_match_data_create_from_pattern_16(slow, nullptr) : nullptr;
    const std::u16string text = u"the bridge at Greyford is bugged again watch your step and the ferry too!";
    const int result = slowData ? pcre2_match_16(slow, reinterpret_cast<PCRE2_SPTR16>(text.c_str()),
                                                 text.size(), 0, 0, slowData, context)
                                : 0;
    expect(result == PCRE2_ERROR_MATCHLIMIT, "a runaway match ends with the match-limit error");

    pcre2_match_data_free_16(slowData);
    pcre2_match_context_free_16(context);
    pcre2_code_free_16(slow);
    pcre2_match_data_free_16(data16);
    pcre2_code_free_16(code16);
    pcre2_match_data_free_8(data8);
    pcre2_code_free_8(code8);
    std::printf("%d failed\n", failed);
    return failed == 0 ? 0 : 1;
}
