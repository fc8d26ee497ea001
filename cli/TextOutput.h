#pragma once

#include <QStringView>

#include <cstdio>

namespace chatlogcli {

// Writes text whose lines end with CR LF (as the model assembles them) to stream as UTF-8, in large
// blocks, with the platform's line ends: CR LF stays on Windows, becomes LF elsewhere. The stream must
// be binary (no line-end translation of its own). Flushes at the end. Returns 0, or the errno of the
// write that failed; nothing more is written after a failure.
int writeText(std::FILE *stream, QStringView text);

} // namespace chatlogcli
