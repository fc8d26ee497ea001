#include "LogStatus.h"

#include <QLabel>
#include <QLocale>

#include "TextCodec.h"

namespace {

QString nameOf(modMain::LogEncoding encoding)
{
    switch (encoding) {
    case modMain::LogEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case modMain::LogEncoding::Utf16LE:
        return QStringLiteral("UTF-16 LE");
    case modMain::LogEncoding::Utf16BE:
        return QStringLiteral("UTF-16 BE");
    case modMain::LogEncoding::Ansi:
        break;
    }
#ifdef Q_OS_WIN
    return QStringLiteral("ANSI");
#else
    return QStringLiteral("windows-1252");
#endif
}

QString counted(qsizetype n, const char *one, const char *many)
{
    return QLocale().toString(n) + u' ' + QLatin1String(n == 1 ? one : many);
}

} // namespace

QString LogStatus::encodingOf(const QList<QByteArray> &heads)
{
    QString result;
    for (const QByteArray &head : heads) {
        qsizetype mark = 0;
        const QString name = nameOf(modMain::detectEncoding(head, &mark));
        if (!result.isEmpty() && result != name)
            return QStringLiteral("mixed encodings");
        result = name;
    }
    return result;
}

void LogStatus::showLog(const QString &name, qsizetype lines, qsizetype chats, const QString &encoding)
{
    name_ = name;
    encoding_ = encoding;
    following_ = false;
    showCounts(lines, chats);
}

void LogStatus::showCounts(qsizetype lines, qsizetype chats)
{
    lines_ = lines;
    chats_ = chats;
    show();
}

void LogStatus::showFollowing(bool following)
{
    following_ = following;
    show();
}

void LogStatus::show()
{
    QStringList parts = {
        name_, counted(lines_, "line", "lines") + QStringLiteral(", ") + counted(chats_, "chat", "chats"),
        encoding_};
    if (following_)
        parts.append(QStringLiteral("Following"));
    label_->setText(parts.join(QStringLiteral("  \u00B7  ")));
}
