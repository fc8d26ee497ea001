// One import through the main window in a fresh process, then exit: run it under /usr/bin/time -v to see
// the peak memory of the whole window process after an import.
//
//   evenfall-import-once [--click-largest] FILE
//
// Prints the import time (cold: first touch of every page), the chats listed and this process's peak
// resident memory beside the file's size. --click-largest also picks the largest chat afterwards.

#include <QApplication>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchLogs.h"
#include "LogGenerator.h"
#include "WindowDriver.h"

int main(int argc, char **argv)
{
    using Clock = std::chrono::steady_clock;
    benchlogs::useOffscreenUnlessSet();
    QApplication app(argc, argv);

    bool clickLargest = false;
    QString path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--click-largest") == 0)
            clickLargest = true;
        else
            path = QString::fromLocal8Bit(argv[i]);
    }
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile()) {
        std::fprintf(stderr, "Usage: evenfall-import-once [--click-largest] FILE\n");
        return 2;
    }

    benchlogs::LogFile log;
    log.folder = file.absolutePath();
    log.fileName = file.fileName();
    log.bytes = std::uint64_t(file.size());

    WindowDriver driver;
    const frmMain &window = driver.window;
    driver.chooseLog(log.folder, log.fileName);
    const std::uint64_t before = benchlogs::peakRss();
    const auto start = Clock::now();
    driver.click("cmdImportFile");
    WindowDriver::settle();
    const double importSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int chats = driver.get<QListWidget>("lstChatNames")->count();
    if (chats == 0) {
        std::fprintf(stderr, "evenfall-import-once: nothing was imported from %s\n", qPrintable(path));
        return 1;
    }
    const double mb = double(log.bytes) / 1e6;
    std::printf("file            %.1f MB\n", mb);
    std::printf("import          %.3f s (%.0f MB/s), %lld records, %d chats\n", importSeconds,
                mb / importSeconds, static_cast<long long>(window.state().log->ChatLog.size()), chats);
    std::printf("peak RSS        %.1f MB before the import, %.1f MB after it (%.2f x the file)\n",
                double(before) / 1e6, double(benchlogs::peakRss()) / 1e6,
                double(benchlogs::peakRss()) / double(log.bytes));

    if (clickLargest) {
        QListWidgetItem *largest = driver.chatItem(
            QString::fromUtf8(loggen::kLargestChatName.data(), qsizetype(loggen::kLargestChatName.size())));
        if (!largest) {
            std::fprintf(stderr, "evenfall-import-once: the largest chat is not listed\n");
            return 1;
        }
        const auto clickStart = Clock::now();
        WindowDriver::clickItem(largest);
        WindowDriver::settle();
        std::printf("largest chat    %.3f s, %lld chars, %d pages; peak RSS %.1f MB\n",
                    std::chrono::duration<double>(Clock::now() - clickStart).count(),
                    static_cast<long long>(window.ChatText.size()), window.PageCount,
                    double(benchlogs::peakRss()) / 1e6);
    }
    return 0;
}
