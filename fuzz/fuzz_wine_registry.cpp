// The Wine hive reader on any system.reg: it answers without crashing, gives an empty value whenever it
// says false, never a value longer than the 1024 bytes a read may return, and the same answer twice.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "WineRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using modRegistryTools::RootKey;
    static QTemporaryDir prefix;
    {
        QFile hive(QDir(prefix.path()).filePath(QStringLiteral("system.reg")));
        if (!hive.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            hive.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    const QString keys[] = {QStringLiteral("SOFTWARE\\KestrelGames\\Evenfall"),
                            QStringLiteral("Software\\Wow6432Node\\KestrelGames\\Evenfall"),
                            QStringLiteral("a")};
    const QString names[] = {QString(), QStringLiteral("Version"), QStringLiteral("a")};
    for (const QString &key : keys) {
        for (const QString &name : names) {
            QString value = QStringLiteral("stale"), again;
            const bool found = modRegistryTools::readWineRegistryValue(prefix.path(), RootKey::LocalMachine,
                                                                       key, name, value);
            if (!found)
                FUZZ_CHECK(value.isEmpty());
            FUZZ_CHECK(value.size() <= 1024);
            FUZZ_CHECK(modRegistryTools::readWineRegistryValue(prefix.path(), RootKey::LocalMachine, key,
                                                               name, again) == found);
            FUZZ_CHECK(again == value);
        }
    }
    return 0;
}
