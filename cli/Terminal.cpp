#include "Terminal.h"

#include "ChatLogCommands.h"
#include "NativeNames.h"
#include "TextOutput.h"

namespace chatlogcli {

void Terminal::message(const QString &text) const
{
    std::fputs(nativenames::toNative(kProgram + QStringLiteral(": ") + text + u'\n').constData(), err_);
    std::fflush(err_);
}

int Terminal::usageError(const QString &text) const
{
    message(text);
    std::fputs(QStringLiteral("Try '%1 --help'.\n").arg(kProgram).toUtf8().constData(), err_);
    return ExitUsage;
}

int Terminal::finish(TextOutput &output) const
{
    if (output.finish())
        return ExitSuccess;
    if (output.brokenPipe())
        return ExitBrokenPipe; // nobody is left to read a message about it either
    message(output.message());
    return ExitFailure;
}

int Terminal::print(QStringView text) const
{
    TextOutput output(out_);
    output.appendLines(text);
    return finish(output);
}

int Terminal::printLines(QString text) const
{
    return print(text.replace(u'\n', QStringLiteral("\r\n")));
}

} // namespace chatlogcli
