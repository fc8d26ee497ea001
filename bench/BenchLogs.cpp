#include "BenchLogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "LogGenerator.h"

namespace benchlogs {
namespace {

LogSize parseLabel(const QString &label)
{
    std::uint64_t bytes = 0;
    const std::string text = label.trimmed().toStdString();
    if (!loggen::parseSize(text, &bytes)) {
        std::fprintf(stderr, "bench: not a log size: %s\n", text.c_str());
        std::exit(2);
    }
    return {label.trimmed(), bytes};
}

QString baseFolder()
{
    const QString fromEnv = qEnvironmentVariable("EVENFALL_BENCH_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    // Never the repository: a temporary folder that goes with the process.
    static std::unique_ptr<QTemporaryDir> temporary;
    if (!temporary) {
        temporary =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/evenfall-bench-XXXXXX"));
        if (!temporary->isValid()) {
            std::fprintf(stderr, "bench: cannot create a temporary folder\n");
            std::exit(2);
        }
    }
    return temporary->path();
}

[[noreturn]] void cannotGenerate(const LogFile &log, const QFile &file)
{
    std::fprintf(stderr, "bench: cannot generate %s: %s\n", qPrintable(log.path()),
                 qPrintable(file.errorString()));
    std::exit(2);
}

} // namespace

QList<LogSize> sizes()
{
    QString list = qEnvironmentVariable("EVENFALL_BENCH_SIZES");
    if (list.trimmed().isEmpty())
        list = QStringLiteral("10M,100M");
    QList<LogSize> sizes;
    for (const QString &label : list.split(u',', Qt::SkipEmptyParts))
        sizes.append(parseLabel(label));
    return sizes;
}

LogSize mainSize()
{
    const QString label = qEnvironmentVariable("EVENFALL_BENCH_MAIN_SIZE");
    return parseLabel(label.trimmed().isEmpty() ? QStringLiteral("100M") : label);
}

LogFile log(const LogSize &size)
{
    LogFile log;
    log.folder = baseFolder() + u'/' + size.label;
    log.fileName = QStringLiteral("client_chat_log_%1.txt").arg(size.label);
    QFileInfo info(log.path());
    if (!info.exists()) {
        QDir().mkpath(log.folder);
        std::string error;
        if (!loggen::generateFile({size.bytes, kSeed}, log.path().toStdString(), nullptr, &error)) {
            std::fprintf(stderr, "bench: cannot generate %s: %s\n", qPrintable(log.path()), error.c_str());
            std::exit(2);
        }
        info.refresh();
    }
    log.bytes = std::uint64_t(info.size());
    return log;
}

LogFile longLineLog(const LogSize &textSize)
{
    LogFile log;
    log.folder = baseFolder() + QStringLiteral("/line") + textSize.label;
    log.fileName = QStringLiteral("client_chat_log_line%1.txt").arg(textSize.label);
    QFileInfo info(log.path());
    if (!info.exists()) {
        QDir().mkpath(log.folder);
        QFile file(log.path());
        bool ok =
            file.open(QIODevice::WriteOnly) && file.write("Chat log started 06/14/2005 21:03:00\r\n"
                                                          "[06/14/2005 21:03:17] Orrik tells you: ") > 0;
        const QByteArray block(1 << 20, 'x');
        for (std::uint64_t left = textSize.bytes; ok && left > 0;) {
            const qint64 n = qint64(std::min<std::uint64_t>(left, std::uint64_t(block.size())));
            ok = file.write(block.constData(), n) == n;
            left -= std::uint64_t(n);
        }
        if (!ok || file.write("\r\n") != 2) {
            cannotGenerate(log, file);
        }
        file.close();
        info.refresh();
    }
    log.bytes = std::uint64_t(info.size());
    return log;
}

LogFile manyChatsLog(int chats)
{
    LogFile log;
    log.folder = baseFolder() + QStringLiteral("/chats%1").arg(chats);
    log.fileName = QStringLiteral("client_chat_log_chats%1.txt").arg(chats);
    QFileInfo info(log.path());
    if (!info.exists()) {
        QDir().mkpath(log.folder);
        QFile file(log.path());
        QByteArray bytes = "Chat log started 06/14/2005 21:03:00\r\n"
                           "[06/14/2005 21:03:17] You have received 3 copper.\r\n";
        char line[96];
        for (int i = 0; i < chats; ++i) {
            const int n = std::snprintf(
                line, sizeof line, "[06/14/2005 21:03:18] Chatter%07d tells you: see you at dusk\r\n", i);
            bytes.append(line, n);
        }
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            cannotGenerate(log, file);
        }
        file.close();
        info.refresh();
    }
    log.bytes = std::uint64_t(info.size());
    return log;
}

std::uint64_t peakRss()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return std::uint64_t(usage.ru_maxrss) * 1024; // kilobytes on Linux
}

std::uint64_t currentRss()
{
    std::FILE *statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    unsigned long long pages = 0, resident = 0;
    const int read = std::fscanf(statm, "%llu %llu", &pages, &resident);
    std::fclose(statm);
    return read == 2 ? resident * std::uint64_t(sysconf(_SC_PAGESIZE)) : 0;
}

void useOffscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static const QtMessageHandler kPrevious = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (type == QtWarningMsg && (message.contains(QLatin1String("propagateSizeHints")) ||
                                     message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))))
            return;
        kPrevious(type, context, message);
    });
}

} // namespace benchlogs
