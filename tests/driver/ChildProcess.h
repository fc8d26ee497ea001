#pragma once

// Test functions that must run in a process of their own, such as those that limit the process's
// address space to see how a load that cannot get its memory ends. The same function plays both parts:
// run by the test, it starts this test program again with only itself selected and checks that the
// child passed; in the child, it does the work.

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

#include <cstdio>

namespace childprocess {

// An address-space limit does not mix with AddressSanitizer, which reserves terabytes for itself.
inline bool addressSanitizerBuild()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

inline const char *const kChildVariable = "EVENFALL_TEST_CHILD";

// True in the child that runs function.
inline bool inChild(const char *function)
{
    return qEnvironmentVariable(kChildVariable) == QLatin1String(function);
}

// Runs function of this test program in a child process; true when it passed. The child's output is
// printed when it did not.
inline bool passesInChild(const char *function)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildVariable), QLatin1String(function));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QLatin1String(function)});
    if (!child.waitForFinished(-1))
        return false;
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    if (!passed)
        std::fprintf(stderr, "child %s:\n%s\n", function, child.readAll().constData());
    return passed;
}

// Opens a test function that limits its address space: skipped where AddressSanitizer runs; in the
// test process, runs the function in a child, checks that it passed and returns; in the child, goes on.
#define EVENFALL_RUN_IN_CHILD_WITH_LIMITS()                                                                  \
    do {                                                                                                     \
        if (!childprocess::kCanLimitAddressSpace)                                                            \
            QSKIP("limits the address space with setrlimit, which Windows lacks");                           \
        if (childprocess::addressSanitizerBuild())                                                           \
            QSKIP("an address-space limit does not mix with AddressSanitizer");                              \
        if (!childprocess::inChild(QTest::currentTestFunction())) {                                          \
            QVERIFY(childprocess::passesInChild(QTest::currentTestFunction()));                              \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)

// Writes a log at path whose one chat line is eight gigabytes of NULs, far beyond any limit a test
// sets, as a sparse file that takes no room on the disk. False when it cannot be made.
inline bool writeHugeLog(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("header\r\n") == 8 && file.resize(qint64(8) << 30);
}

#ifdef Q_OS_UNIX
inline constexpr bool kCanLimitAddressSpace = true;
#else
// A job object's memory limit would be Windows' way, but Wine does not enforce it.
inline constexpr bool kCanLimitAddressSpace = false;
#endif

// Limits this process's address space to what it uses now plus headroom bytes.
inline bool limitAddressSpace(qint64 headroom)
{
#ifndef Q_OS_UNIX
    Q_UNUSED(headroom);
    return false;
#else
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    qint64 used = 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            used = line.mid(7).trimmed().split(' ').first().toLongLong() * 1024;
    }
    const rlimit limit{rlim_t(used + headroom), rlim_t(used + headroom)};
    return used > 0 && setrlimit(RLIMIT_AS, &limit) == 0;
#endif
}

} // namespace childprocess
