#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "WineRegistry.h"
#include "modRegistryTools.h"

using modRegistryTools::ReadRegistryValue;
using modRegistryTools::readWineRegistryValue;
using modRegistryTools::RootKey;

namespace {

const QString kGameKey = QStringLiteral("SOFTWARE\\KestrelGames\\Evenfall");

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    file.write(content);
}

// A system.reg as Wine writes it, around the given keys.
QByteArray hive(const QByteArray &keys)
{
    return "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n" + keys;
}

// Literals with embedded zeros, whole.
template <size_t N> QString text(const char16_t (&text)[N])
{
    return QString::fromUtf16(text, N - 1);
}

template <size_t N> QByteArray bytes(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}

// hex(1) data of text in UTF-16LE, without a terminating zero.
QByteArray hexText(QStringView text)
{
    QByteArrayList bytes;
    for (const QChar c : text)
        for (const int byte : {c.unicode() & 0xff, c.unicode() >> 8})
            bytes << QByteArray::number(byte, 16).rightJustified(2, '0');
    return bytes.join(',');
}

const QByteArray kGame = "[Software\\\\KestrelGames\\\\Evenfall] 1700000000\n#time=1da1b2c3d4e5f60\n";
const QByteArray kWow = "[Software\\\\Wow6432Node\\\\KestrelGames\\\\Evenfall] 1700000000\n";

void addColumns()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("value");
}

// A row reading the value valueName ("" the default) of the game's key.
void addRow(const char *name, const QByteArray &keys, bool ok, const QString &value,
            const QString &valueName = {})
{
    QTest::newRow(name) << keys << valueName << ok << value;
}

// Reads the row's value of the game's key from a prefix whose system.reg holds the row's keys.
void checkRow()
{
    QFETCH(QByteArray, keys);
    QFETCH(QString, valueName);
    QFETCH(bool, ok);
    QFETCH(QString, value);

    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    writeFile(prefix.filePath(QStringLiteral("system.reg")), hive(keys));
    QString read = QStringLiteral("stale");
    QCOMPARE(readWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, valueName, read), ok);
    QCOMPARE(read, value);
}

} // namespace

class tst_Registry : public QObject {
    Q_OBJECT
private slots:
    void readValue_data();
    void readValue();
    void malformedHive_data();
    void malformedHive();
    void rootsMapToHiveFiles();
    void missingPrefixOrHive();
    void readRegistryValueUsesWinePrefix();
    void hiveThatIsNoRegularFileIsNotRead();
};

void tst_Registry::readValue_data()
{
    addColumns();
    addRow("default value", kGame + "@=\"C:\\\\Games\\\\Evenfall\"", true, "C:\\Games\\Evenfall");
    addRow("named value beside default", kGame + "@=\"default\"\n\"Path\"=\"named\"", true, "named", "Path");
    addRow("key line without timestamp, CRLF ends",
           "[Software\\\\KestrelGames\\\\Evenfall]\r\n@=\"C:\\\\Games\"\r\n", true, "C:\\Games");
    addRow("escapes", kGame + R"(@="q\"b\\n\nt\tr\rz\0x\x41o\101")", true, text(u"q\"b\\n\nt\tr\rz\0xAoA"));
    addRow("hex escapes keep non-ANSI text", kGame + R"(@="C:\\\x00c4rger\\\x65e5\x672c")", true,
           QString::fromUtf16(u"C:\\Ärger\\日本"));
    addRow("only one trailing zero dropped", kGame + R"(@="abc\0")", true, text(u"abc\0"));
    addRow("names ignore case", "[software\\\\kestrelgames\\\\EVENFALL]\n\"PATH\"=\"x\"", true, "x", "path");
    addRow("32-bit view wins", kGame + "@=\"native\"\n" + kWow + "@=\"32-bit\"", true, "32-bit");
    addRow("native key when 32-bit key lacks the value", kGame + "@=\"native\"\n" + kWow + "\"Other\"=\"x\"",
           true, "native");
    addRow("sibling with shared prefix",
           "[Software\\\\KestrelGames\\\\EvenfallTools]\n@=\"tools\"\n" + kGame +
               "@=\"game\"\n[Software\\\\KestrelGames\\\\EvenfallTools2]\n@=\"tools2\"",
           true, "game");
    addRow("sub-key values are not the key's",
           kGame + "[Software\\\\KestrelGames\\\\Evenfall\\\\Sub]\n@=\"sub\"", false, "");
    addRow("value of the next key is not the key's",
           kGame + "\"A\"=\"a\"\n[Software\\\\KestrelGames\\\\Other]\n\"Path\"=\"other\"", false, "", "Path");
    addRow("missing key", "[Software\\\\Other]\n@=\"x\"", false, "");
    addRow("missing value", kGame + "\"Path\"=\"x\"", false, "");
    addRow("dword 1", kGame + "@=dword:00000001", true, "1");
    addRow("dword all ones", kGame + "@=dword:ffffffff", true, "4294967295");
    addRow("expand string has no text", kGame + "@=str(2):\"%ProgramFiles%\"", true, "");
    addRow("zero-length data", kGame + "@=hex(1):", true, "");
    addRow("hex(1) with its terminator", kGame + "@=hex(1):" + hexText(u"C:\\Ä日") + ",00,00", true,
           QString::fromUtf16(u"C:\\Ä日"));
    addRow("hex(1) without terminator", kGame + "@=hex(1):" + hexText(u"C:\\Ä日"), true,
           QString::fromUtf16(u"C:\\Ä日"));
    addRow("hex(4) little-endian", kGame + "@=hex(4):0a,01,00,00", true, "266");
    addRow("continuation lines", kGame + "@=hex(1):43,00,3a,00,\\\n  5c,00,\\\n  47,00\n\"Next\"=\"n\"", true,
           "C:\\G");
    // 511 characters and the terminator make 1024 bytes.
    addRow("string at the limit", kGame + "@=\"" + QByteArray(511, 'a') + '"', true, QString(511, u'a'));
    addRow("string over the limit", kGame + "@=\"" + QByteArray(512, 'a') + '"', false, "");
    addRow("binary over the limit", kGame + "@=hex:" + QByteArrayList(1025, "00").join(','), false, "");
    addRow("too long in 32-bit view, native read",
           kGame + "@=\"native\"\n" + kWow + "@=\"" + QByteArray(600, 'a') + '"', true, "native");
}

void tst_Registry::readValue()
{
    checkRow();
}

// Broken shapes never crash the reader; what can be read still is.
void tst_Registry::malformedHive_data()
{
    addColumns();
    addRow("truncated string", kGame + "@=\"C:\\\\Gam", false, "");
    addRow("backslash at line end", kGame + "@=\"C:\\", false, "");
    addRow("missing quotes", kGame + "@=C:\\\\Games", false, "");
    addRow("unterminated value name", kGame + "\"Path=\"C:\\\\Games\"", false, "", "Path");
    addRow("bad hex byte", kGame + "@=hex(1):41,0g", false, "");
    addRow("unclosed hex type", kGame + "@=hex(1:41,00", false, "");
    addRow("dword of nine digits", kGame + "@=dword:000000001", false, "");
    addRow("unbalanced bracket ends the key", kGame + "[Software\\\\Other\n@=\"wrong\"", false, "");
    addRow("unbalanced bracket does not start it", "[Software\\\\KestrelGames\\\\Evenfall\n@=\"wrong\"",
           false, "");
    addRow("continuation at end of file", kGame + "@=hex(1):41,00,\\", true, "A");
    addRow("garbage before the key",
           bytes("\x01\xff[\0\"\\\n]]]\n@=\"x\"\n\xfe\xfe\n") + kGame + "@=\"C:\\\\Games\"", true,
           "C:\\Games");
    addRow("nul bytes inside a line", kGame + bytes("@=\"a\0b\""), true, text(u"a\0b"));
    addRow("empty file", QByteArray(), false, "");
}

void tst_Registry::malformedHive()
{
    checkRow();
}

void tst_Registry::rootsMapToHiveFiles()
{
    QTemporaryDir prefix;
    const QByteArray key = "[Software\\\\KestrelGames\\\\Evenfall]\n@=\"";
    writeFile(prefix.filePath(QStringLiteral("system.reg")), hive(key + "machine\""));
    writeFile(prefix.filePath(QStringLiteral("user.reg")), hive(key + "user\""));

    QString value;
    QVERIFY(readWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "machine");
    QVERIFY(readWineRegistryValue(prefix.path(), RootKey::CurrentUser, kGameKey, "", value));
    QCOMPARE(value, "user");
    for (RootKey unsupported : {RootKey::ClassesRoot, RootKey::Users}) {
        QVERIFY(!readWineRegistryValue(prefix.path(), unsupported, kGameKey, "", value));
        QCOMPARE(value, "");
    }
}

void tst_Registry::missingPrefixOrHive()
{
    QTemporaryDir prefix;
    QString value = QStringLiteral("stale");
    QVERIFY(!readWineRegistryValue(prefix.filePath("absent"), RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "");
    value = QStringLiteral("stale");
    QVERIFY(!readWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "");

    // Random bytes must neither crash the reader nor yield a value.
    QRandomGenerator random(20240601);
    QByteArray noise(1 << 16, '\0');
    for (char &byte : noise)
        byte = static_cast<char>(random.bounded(256));
    writeFile(prefix.filePath(QStringLiteral("system.reg")), noise);
    QVERIFY(!readWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
}

void tst_Registry::hiveThatIsNoRegularFileIsNotRead()
{
    QTemporaryDir prefix;
    const QString hivePath = prefix.filePath(QStringLiteral("system.reg"));
    QString value;
#ifdef Q_OS_UNIX
    // A FIFO that nobody writes: a reader that opened it would wait for ever.
    QCOMPARE(::mkfifo(QFile::encodeName(hivePath).constData(), 0600), 0);
    QVERIFY(!readWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
    QVERIFY(QFile::remove(hivePath));
#endif
    QVERIFY(QDir(prefix.path()).mkdir(QStringLiteral("system.reg")));
    QVERIFY(!readWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, QString());
    // A symbolic link to a hive is read as the hive.
#ifndef Q_OS_UNIX
    QSKIP("QFile::link makes a shortcut on Windows, not a symbolic link");
#endif
    QVERIFY(QDir(prefix.path()).rmdir(QStringLiteral("system.reg")));
    const QString real = prefix.filePath(QStringLiteral("real.reg"));
    writeFile(real, hive("[Software\\\\KestrelGames\\\\Evenfall] 1\n@=\"C:\\\\Games\"\n"));
    QVERIFY(QFile::link(real, hivePath));
    QVERIFY(readWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, QStringLiteral("C:\\Games"));
}

void tst_Registry::readRegistryValueUsesWinePrefix()
{
#ifdef Q_OS_WIN
    QSKIP("Windows reads its own registry");
#else
    const QByteArray saved = qgetenv("WINEPREFIX");
    const bool wasSet = qEnvironmentVariableIsSet("WINEPREFIX");
    const auto restore =
        qScopeGuard([&] { wasSet ? qputenv("WINEPREFIX", saved) : qunsetenv("WINEPREFIX"); });

    QTemporaryDir prefix;
    const QString hivePath = prefix.filePath(QStringLiteral("system.reg"));
    writeFile(hivePath,
              hive("[Software\\\\Wow6432Node\\\\KestrelGames\\\\Evenfall]\n@=\"C:\\\\Games\\\\Evenfall\"\n"));
    qputenv("WINEPREFIX", QFile::encodeName(prefix.path()));

    QString value;
    QVERIFY(ReadRegistryValue(RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "C:\\Games\\Evenfall");

    // A changed file is read again, not remembered.
    writeFile(hivePath, hive("[Software\\\\KestrelGames\\\\Evenfall]\n@=\"D:\\\\Evenfall\"\n"));
    QVERIFY(ReadRegistryValue(RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "D:\\Evenfall");

    qputenv("WINEPREFIX", QFile::encodeName(prefix.filePath("absent")));
    QVERIFY(!ReadRegistryValue(RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "");
#endif
}

QTEST_GUILESS_MAIN(tst_Registry)
#include "tst_registry.moc"
