#pragma once

#include <QtGlobal>

// windows-1252 as the model keeps texts: one byte a character for every character the code page holds,
// all 256 byte values defined (0x81, 0x8D, 0x8F, 0x90 and 0x9D stand for the same code points).
namespace modMain::detail {

// Writes the n characters of bytes to out.
void widenWindows1252(const char *bytes, qsizetype n, char16_t *out);

// Writes the bytes of text[0, n) to out for as long as every character has a byte that widens back to
// it; returns how many were written, n when all were.
qsizetype narrowWindows1252(const char16_t *text, qsizetype n, char *out);

// A text that windows-1252 cannot hold is kept as UTF-8, which costs little more than its bytes in the
// file. An unpaired surrogate takes three bytes as if it were a character, so that every text comes back
// unit for unit. The bytes of text[0, n) in that form:
qsizetype utf8SizeOf(const char16_t *text, qsizetype n);
// Writes them to out (room for utf8SizeOf(text, n) bytes); returns the end.
char *writeUtf8(const char16_t *text, qsizetype n, char *out);
// Writes the UTF-16 units of bytes written by writeUtf8 to out; returns the end.
char16_t *readUtf8(const char *bytes, qsizetype n, char16_t *out);

} // namespace modMain::detail
