#pragma once

#include <QString>
#include <QStringView>

#include <cstdio>

namespace chatlogcli {

class TextOutput;

inline const QString kProgram = QStringLiteral("evenfall-chatlog");

// Where output and messages go: text to out, messages and usage errors to err.
class Terminal {
public:
    Terminal(std::FILE *out, std::FILE *err) : out_(out), err_(err) {}

    // nullptr when standard output was closed when the program started.
    std::FILE *out() const { return out_; }

    // One message, headed by the program's name. File names in it go out as the bytes the system holds
    // (see NativeNames.h).
    void message(const QString &text) const;
    // A message about the command line, and where to read about it; returns ExitUsage.
    int usageError(const QString &text) const;

    // Ends output: ExitSuccess when all of it was written; otherwise says why (unless nobody is left
    // to read it) and returns the status for it.
    int finish(TextOutput &output) const;
    // Text with CR LF line ends, as the model builds it; returns as finish() does.
    int print(QStringView text) const;
    // Text with LF line ends, as Qt's help text has them; returns as finish() does.
    int printLines(QString text) const;

private:
    std::FILE *out_;
    std::FILE *err_;
};

} // namespace chatlogcli
