// The regular-expression search: a text the pattern matches is never reported as without a match, nor
// the other way round. The answer is checked against the same library's interpreter, without the
// compiled code and with higher limits, wherever that one decides; the matcher may give up
// (Undecided) where it did not, but never answer wrongly. A pattern compiles, or fails at the same
// place, as it does there.
//
// Input: one byte of flags (1: without regard to case; 2: the text is UTF-16, lone surrogates and all,
// rather than UTF-8), the pattern in UTF-8 up to the first NUL, then the text.

#include <QList>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "FuzzCheck.h"
#include "TextMatcher.h"

namespace {

using Result = modMain::TextMatcher::Result;

// Low limits, so that runaway patterns (the fuzzer finds many) cost little and the give-up is often on
// trial; the rule holds for any limits.
modMain::TextMatcher::Limits fuzzLimits()
{
    modMain::TextMatcher::Limits limits;
    limits.match = 20'000;
    limits.depth = 20'000;
    limits.heapKiB = 4096;
    limits.jitStackKiB = 64;
    return limits;
}

// The interpreter's answer, or Undecided where even its higher limits do not reach. A lone surrogate
// is matched as U+FFFD, as Qt's conversion to UTF-32 has it (and the line is printed with).
Result referenceMatch(const pcre2_code *code, const QString &subject)
{
    QString text; // back to UTF-16 by hand: QString::fromUcs4 would take a leading U+FEFF for a mark
    for (const uint u : subject.toUcs4()) {
        if (QChar::requiresSurrogates(u))
            text.append(QChar(QChar::highSurrogate(u))).append(QChar(QChar::lowSurrogate(u)));
        else
            text.append(QChar(char16_t(u)));
    }
    pcre2_match_data *data = pcre2_match_data_create_from_pattern(code, nullptr);
    pcre2_match_context *context = pcre2_match_context_create(nullptr);
    FUZZ_CHECK(data && context);
    const modMain::TextMatcher::Limits ours = fuzzLimits();
    pcre2_set_match_limit(context, ours.match * 10);
    pcre2_set_depth_limit(context, ours.depth * 10);
    pcre2_set_heap_limit(context, ours.heapKiB * 2);
    static const char16_t kNothing = 0;
    const int rc = pcre2_match(
        code, reinterpret_cast<PCRE2_SPTR>(text.isEmpty() ? &kNothing : QStringView(text).utf16()),
        PCRE2_SIZE(text.size()), 0, 0, data, context);
    pcre2_match_context_free(context);
    pcre2_match_data_free(data);
    return rc >= 0 ? Result::Match : rc == PCRE2_ERROR_NOMATCH ? Result::NoMatch : Result::Undecided;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const std::size_t restSize = size - 1;
    const void *nul = std::memchr(rest, 0, restSize);
    const std::size_t patternSize = nul ? std::size_t(static_cast<const char *>(nul) - rest) : restSize;
    const QString pattern = QString::fromUtf8(rest, qsizetype(patternSize));
    const char *textBytes = rest + std::min(restSize, patternSize + 1);
    const std::size_t textSize = restSize - std::min(restSize, patternSize + 1);
    const QString text = flags & 2
                             ? QString(reinterpret_cast<const QChar *>(textBytes), qsizetype(textSize / 2))
                             : QString::fromUtf8(textBytes, qsizetype(textSize));
    const bool ignoreCase = flags & 1;

    modMain::TextMatcher matcher(pattern, true, ignoreCase, fuzzLimits());
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code *code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
                      PCRE2_UTF | (ignoreCase ? PCRE2_CASELESS : 0u), &errorCode, &errorOffset, nullptr);
    FUZZ_CHECK(matcher.isValid() == (code != nullptr));
    if (!code) {
        FUZZ_CHECK(matcher.errorOffset() == qsizetype(errorOffset));
        FUZZ_CHECK(!matcher.errorString().isEmpty());
        FUZZ_CHECK(matcher.match(text) == Result::NoMatch);
        return 0;
    }
    const Result reference = referenceMatch(code, text);
    pcre2_code_free(code);
    // Twice: the working memory kept between texts must not change an answer.
    for (int round = 0; round < 2; ++round) {
        const Result ours = matcher.match(text);
        FUZZ_CHECK(ours == reference || ours == Result::Undecided || reference == Result::Undecided);
    }
    return 0;
}
