#include "TextMatcher.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace modMain {
namespace {

// Whether text holds pattern, exactly. Lines are short and many: the general searches cost more to set
// up than the search itself, so this one sets up nothing. Only where the first and the last character
// of the pattern stand at the right distance are the characters between compared.
bool contains(QStringView text, QStringView pattern)
{
    const qsizetype n = pattern.size();
    if (n == 0)
        return true;
    if (text.size() < n)
        return false;
    const char16_t *const s = text.utf16();
    const char16_t *const p = pattern.utf16();
    const char16_t first = p[0], last = p[n - 1];
    const qsizetype starts = text.size() - n + 1; // the places a match can start
    const auto matchesAt = [&](qsizetype i) {
        return std::memcmp(s + i, p, size_t(n) * sizeof(char16_t)) == 0;
    };
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i firsts = _mm_set1_epi16(static_cast<short>(first));
    const __m128i lasts = _mm_set1_epi16(static_cast<short>(last));
    for (; i + 8 <= starts; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i + n - 1));
        auto mask =
            unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(a, firsts), _mm_cmpeq_epi16(b, lasts))));
        for (; mask != 0; mask &= mask - 1, mask &= mask - 1) { // two bits a character
            if (matchesAt(i + std::countr_zero(mask) / 2))
                return true;
        }
    }
#endif
    for (; i < starts; ++i) {
        if (s[i] == first && s[i + n - 1] == last && matchesAt(i))
            return true;
    }
    return false;
}

// Whether text holds a surrogate that is not half of a pair, which the library would refuse.
bool hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if ((c & 0xF800) != 0xD800)
            continue;
        if (c >= 0xDC00 || i + 1 == text.size() || !QChar::isLowSurrogate(text[i + 1].unicode()))
            return true;
        ++i;
    }
    return false;
}

} // namespace

// The compiled expression and the memory its matches work in, made once and used for every text.
struct TextMatcher::Regex {
    pcre2_code *code = nullptr;
    pcre2_match_data *data = nullptr;
    pcre2_match_context *context = nullptr;
    pcre2_jit_stack *jitStack = nullptr;
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    QString mended; // a text with its lone surrogates replaced

    ~Regex()
    {
        pcre2_jit_stack_free(jitStack);
        pcre2_match_context_free(context);
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
};

TextMatcher::TextMatcher(const QString &pattern, bool regex, bool ignoreCase)
    : TextMatcher(pattern, regex, ignoreCase, Limits())
{
}

TextMatcher::TextMatcher(const QString &pattern, bool regex, bool ignoreCase, const Limits &limits)
    : pattern_(pattern), regex_(regex), caseSensitivity_(ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive)
{
    if (!regex)
        return;
    compiled_ = std::make_unique<Regex>();
    Regex &r = *compiled_;
    // QRegularExpression's reading of a pattern, so that a pattern means what it meant before.
    const uint32_t options = PCRE2_UTF | (ignoreCase ? uint32_t(PCRE2_CASELESS) : uint32_t(0));
    r.code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()), options,
                           &r.errorCode, &r.errorOffset, nullptr);
    if (!r.code)
        return;
    // Without the compiled code (no JIT on this machine, or no memory for it) the interpreter matches,
    // with the same results and limits.
    if (limits.jit && pcre2_jit_compile(r.code, PCRE2_JIT_COMPLETE) == 0)
        r.jitStack =
            pcre2_jit_stack_create(32 * 1024, std::max<PCRE2_SIZE>(32, limits.jitStackKiB) * 1024, nullptr);
    // No offsets are wanted: one pair is room enough, and a match that had more to tell returns 0.
    r.data = pcre2_match_data_create(1, nullptr);
    r.context = pcre2_match_context_create(nullptr);
    if (!r.context)
        return; // match() cannot run within limits without it, and says so for every text
    pcre2_set_match_limit(r.context, limits.match);
    pcre2_set_depth_limit(r.context, limits.depth);
    pcre2_set_heap_limit(r.context, limits.heapKiB);
    if (r.jitStack)
        pcre2_jit_stack_assign(r.context, nullptr, r.jitStack);
}

TextMatcher::~TextMatcher() = default;
TextMatcher::TextMatcher(TextMatcher &&) noexcept = default;
TextMatcher &TextMatcher::operator=(TextMatcher &&) noexcept = default;

bool TextMatcher::isValid() const
{
    return !regex_ || compiled_->code;
}

QString TextMatcher::errorString() const
{
    if (isValid())
        return QString();
    char16_t message[256];
    const int length = pcre2_get_error_message(compiled_->errorCode, reinterpret_cast<PCRE2_UCHAR *>(message),
                                               std::size(message));
    // A message cut to the buffer still says what went wrong; an unknown code has none.
    if (length == PCRE2_ERROR_NOMEMORY)
        return QString::fromUtf16(message);
    if (length < 0)
        return QStringLiteral("error %1").arg(compiled_->errorCode);
    return QString::fromUtf16(message, length);
}

qsizetype TextMatcher::errorOffset() const
{
    return isValid() ? -1 : qsizetype(compiled_->errorOffset);
}

QString TextMatcher::requiredText() const
{
    return regex_ || caseSensitivity_ == Qt::CaseInsensitive ? QString() : pattern_;
}

TextMatcher::Result TextMatcher::match(QStringView text)
{
    if (!regex_) {
        const bool found = caseSensitivity_ == Qt::CaseInsensitive
                               ? text.contains(pattern_, Qt::CaseInsensitive)
                               : contains(text, pattern_);
        return found ? Result::Match : Result::NoMatch;
    }
    return matchRegex(text);
}

TextMatcher::Result TextMatcher::find(QStringView text, qsizetype *start, qsizetype *length)
{
    if (!regex_) {
        *start = text.indexOf(pattern_, 0, caseSensitivity_);
        *length = pattern_.size();
        return *start >= 0 ? Result::Match : Result::NoMatch;
    }
    const Result result = matchRegex(text);
    if (result == Result::Match) {
        // The text the library saw has the same units, so its offsets hold for text.
        const PCRE2_SIZE *offsets = pcre2_get_ovector_pointer(compiled_->data);
        *start = qsizetype(offsets[0]);
        *length = offsets[1] > offsets[0] ? qsizetype(offsets[1] - offsets[0]) : 0; // \K can end before
    }
    return result;
}

TextMatcher::Result TextMatcher::matchRegex(QStringView text)
{
    Regex &r = *compiled_;
    if (!r.code)
        return Result::NoMatch; // an invalid pattern matches nothing; isValid() says why
    if (!r.data || !r.context)
        return Result::Undecided;
    // A lone surrogate (a UTF-16 log may hold one) is matched as U+FFFD, the character the line is
    // printed with; the text is then valid, and the library need not check it again.
    if (hasLoneSurrogate(text)) {
        r.mended = text.toString();
        for (qsizetype i = 0; i < r.mended.size(); ++i) {
            if (r.mended[i].isHighSurrogate() && i + 1 < r.mended.size() && r.mended[i + 1].isLowSurrogate())
                ++i;
            else if (r.mended[i].isSurrogate())
                r.mended[i] = QChar::ReplacementCharacter;
        }
        text = r.mended;
    }
    // An empty view may have no characters behind it, which this library takes for a bad argument.
    static const char16_t kNothing = 0;
    const char16_t *subject = text.isEmpty() ? &kNothing : text.utf16();
    const int rc = pcre2_match(r.code, reinterpret_cast<PCRE2_SPTR>(subject), PCRE2_SIZE(text.size()), 0,
                               PCRE2_NO_UTF_CHECK, r.data, r.context);
    if (rc >= 0)
        return Result::Match;
    // Any other failure (a limit reached, the stack of the compiled code full, no memory) leaves the
    // question open: whether the text holds a match is not known.
    return rc == PCRE2_ERROR_NOMATCH ? Result::NoMatch : Result::Undecided;
}

} // namespace modMain
