#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "WineRegistry.h"
#include "modRegistryTools.h"

using modRegistryTools::ReadRegistryValue;
using modRegistryTools::ReadWineRegistryValue;
using modRegistryTools::RootKey;

namespace {

const QString kGameKey = QStringLiteral("SOFTWARE\\KestrelGames\\Evenfall");

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    file.write(content);
}

// A system.reg as Wine writes it, around the given keys.
QByteArray Hive(const QByteArray &keys)
{
    return "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n" + keys;
}

// Literals with embedded zeros, whole.
template <size_t N> QString Text(const char16_t (&text)[N])
{
    return QString::fromUtf16(text, N - 1);
}

template <size_t N> QByteArray Bytes(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}

// hex(1) data of text in UTF-16LE, without a terminating zero.
QByteArray HexText(QStringView text)
{
    QByteArrayList bytes;
    for (const QChar c : text)
        for (const int byte : {c.unicode() & 0xff, c.unicode() >> 8})
            bytes << QByteArray::number(byte, 16).rightJustified(2, '0');
    return bytes.join(',');
}

const QByteArray kGame = "[Software\\\\KestrelGames\\\\Evenfall] 1700000000\n#time=1da1b2c3d4e5f60\n";
const QByteArray kWow = "[Software\\\\Wow6432Node\\\\KestrelGames\\\\Evenfall] 1700000000\n";

void AddColumns()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("value");
}

// A row reading the value valueName ("" the default) of the game's key.
void AddRow(const char *name, const QByteArray &keys, bool ok, const QString &value,
            const QString &valueName = {})
{
    QTest::newRow(name) << keys << valueName << ok << value;
}

// Reads the row's value of the game's key from a prefix whose system.reg holds the row's keys.
void CheckRow()
{
    QFETCH(QByteArray, keys);
    QFETCH(QString, valueName);
    QFETCH(bool, ok);
    QFETCH(QString, value);

    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    WriteFile(prefix.filePath(QStringLiteral("system.reg")), Hive(keys));
    QString read = QStringLiteral("stale");
    QCOMPARE(ReadWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, valueName, read), ok);
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
};

void tst_Registry::readValue_data()
{
    AddColumns();
    AddRow("default value", kGame + "@=\"C:\\\\Games\\\\Evenfall\"", true, "C:\\Games\\Evenfall");
    AddRow("named value beside default", kGame + "@=\"default\"\n\"Path\"=\"named\"", true, "named", "Path");
    AddRow("key line without timestamp, CRLF ends",
           "[Software\\\\KestrelGames\\\\Evenfall]\r\n@=\"C:\\\\Games\"\r\n", true, "C:\\Games");
    AddRow("escapes", kGame + R"(@="q\"b\\n\nt\tr\rz\0x\x41o\101")", true, Text(u"q\"b\\n\nt\tr\rz\0xAoA"));
    AddRow("hex escapes keep non-ANSI text", kGame + R"(@="C:\\\x00c4rger\\\x65e5\x672c")", true,
           QString::fromUtf16(u"C:\\Ärger\\日本"));
    AddRow("only one trailing zero dropped", kGame + R"(@="abc\0")", true, Text(u"abc\0"));
    AddRow("names ignore case", "[software\\\\kestrelgames\\\\EVENFALL]\n\"PATH\"=\"x\"", true, "x", "path");
    AddRow("32-bit view wins", kGame + "@=\"native\"\n" + kWow + "@=\"32-bit\"", true, "32-bit");
    AddRow("native key when 32-bit key lacks the value", kGame + "@=\"native\"\n" + kWow + "\"Other\"=\"x\"",
           true, "native");
    AddRow("sibling with shared prefix",
           "[Software\\\\KestrelGames\\\\EvenfallTools]\n@=\"tools\"\n" + kGame +
               "@=\"game\"\n[Software\\\\KestrelGames\\\\EvenfallTools2]\n@=\"tools2\"",
           true, "game");
    AddRow("sub-key values are not the key's",
           kGame + "[Software\\\\KestrelGames\\\\Evenfall\\\\Sub]\n@=\"sub\"", false, "");
    AddRow("value of the next key is not the key's",
           kGame + "\"A\"=\"a\"\n[Software\\\\KestrelGames\\\\Other]\n\"Path\"=\"other\"", false, "", "Path");
    AddRow("missing key", "[Software\\\\Other]\n@=\"x\"", false, "");
    AddRow("missing value", kGame + "\"Path\"=\"x\"", false, "");
    AddRow("dword 1", kGame + "@=dword:00000001", true, "1");
    AddRow("dword all ones", kGame + "@=dword:ffffffff", true, "4294967295");
    AddRow("expand string has no text", kGame + "@=str(2):\"%ProgramFiles%\"", true, "");
    AddRow("zero-length data", kGame + "@=hex(1):", true, "");
    AddRow("hex(1) with its terminator", kGame + "@=hex(1):" + HexText(u"C:\\Ä日") + ",00,00", true,
           QString::fromUtf16(u"C:\\Ä日"));
    AddRow("hex(1) without terminator", kGame + "@=hex(1):" + HexText(u"C:\\Ä日"), true,
           QString::fromUtf16(u"C:\\Ä日"));
    AddRow("hex(4) little-endian", kGame + "@=hex(4):0a,01,00,00", true, "266");
    AddRow("continuation lines", kGame + "@=hex(1):43,00,3a,00,\\\n  5c,00,\\\n  47,00\n\"Next\"=\"n\"", true,
           "C:\\G");
    // 511 characters and the terminator make 1024 bytes.
    AddRow("string at the limit", kGame + "@=\"" + QByteArray(511, 'a') + '"', true, QString(511, u'a'));
    AddRow("string over the limit", kGame + "@=\"" + QByteArray(512, 'a') + '"', false, "");
    AddRow("binary over the limit", kGame + "@=hex:" + QByteArrayList(1025, "00").join(','), false, "");
    AddRow("too long in 32-bit view, native read",
           kGame + "@=\"native\"\n" + kWow + "@=\"" + QByteArray(600, 'a') + '"', true, "native");
}

void tst_Registry::readValue()
{
    CheckRow();
}

// Broken shapes never crash the reader; what can be read still is.
void tst_Registry::malformedHive_data()
{
    AddColumns();
    AddRow("truncated string", kGame + "@=\"C:\\\\Gam", false, "");
    AddRow("backslash at line end", kGame + "@=\"C:\\", false, "");
    AddRow("missing quotes", kGame + "@=C:\\\\Games", false, "");
    AddRow("unterminated value name", kGame + "\"Path=\"C:\\\\Games\"", false, "", "Path");
    AddRow("bad hex byte", kGame + "@=hex(1):41,0g", false, "");
    AddRow("unclosed hex type", kGame + "@=hex(1:41,00", false, "");
    AddRow("dword of nine digits", kGame + "@=dword:000000001", false, "");
    AddRow("unbalanced bracket ends the key", kGame + "[Software\\\\Other\n@=\"wrong\"", false, "");
    AddRow("unbalanced bracket does not start it", "[Software\\\\KestrelGames\\\\Evenfall\n@=\"wrong\"",
           false, "");
    AddRow("continuation at end of file", kGame + "@=hex(1):41,00,\\", true, "A");
    AddRow("garbage before the key",
           Bytes("\x01\xff[\0\"\\\n]]]\n@=\"x\"\n\xfe\xfe\n") + kGame + "@=\"C:\\\\Games\"", true,
           "C:\\Games");
    AddRow("nul bytes inside a line", kGame + Bytes("@=\"a\0b\""), true, Text(u"a\0b"));
    AddRow("empty file", QByteArray(), false, "");
}

void tst_Registry::malformedHive()
{
    CheckRow();
}

void tst_Registry::rootsMapToHiveFiles()
{
    QTemporaryDir prefix;
    const QByteArray key = "[Software\\\\KestrelGames\\\\Evenfall]\n@=\"";
    WriteFile(prefix.filePath(QStringLiteral("system.reg")), Hive(key + "machine\""));
    WriteFile(prefix.filePath(QStringLiteral("user.reg")), Hive(key + "user\""));

    QString value;
    QVERIFY(ReadWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "machine");
    QVERIFY(ReadWineRegistryValue(prefix.path(), RootKey::CurrentUser, kGameKey, "", value));
    QCOMPARE(value, "user");
    for (RootKey unsupported : {RootKey::ClassesRoot, RootKey::Users}) {
        QVERIFY(!ReadWineRegistryValue(prefix.path(), unsupported, kGameKey, "", value));
        QCOMPARE(value, "");
    }
}

void tst_Registry::missingPrefixOrHive()
{
    QTemporaryDir prefix;
    QString value = QStringLiteral("stale");
    QVERIFY(!ReadWineRegistryValue(prefix.filePath("absent"), RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "");
    value = QStringLiteral("stale");
    QVERIFY(!ReadWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "");

    // Random bytes must neither crash the reader nor yield a value.
    QRandomGenerator random(20240601);
    QByteArray noise(1 << 16, '\0');
    for (char &byte : noise)
        byte = static_cast<char>(random.bounded(256));
    WriteFile(prefix.filePath(QStringLiteral("system.reg")), noise);
    QVERIFY(!ReadWineRegistryValue(prefix.path(), RootKey::LocalMachine, kGameKey, "", value));
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
    const QString hive = prefix.filePath(QStringLiteral("system.reg"));
    WriteFile(hive,
              Hive("[Software\\\\Wow6432Node\\\\KestrelGames\\\\Evenfall]\n@=\"C:\\\\Games\\\\Evenfall\"\n"));
    qputenv("WINEPREFIX", QFile::encodeName(prefix.path()));

    QString value;
    QVERIFY(ReadRegistryValue(RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "C:\\Games\\Evenfall");

    // A changed file is read again, not remembered.
    WriteFile(hive, Hive("[Software\\\\KestrelGames\\\\Evenfall]\n@=\"D:\\\\Evenfall\"\n"));
    QVERIFY(ReadRegistryValue(RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "D:\\Evenfall");

    qputenv("WINEPREFIX", QFile::encodeName(prefix.filePath("absent")));
    QVERIFY(!ReadRegistryValue(RootKey::LocalMachine, kGameKey, "", value));
    QCOMPARE(value, "");
#endif
}

QTEST_GUILESS_MAIN(tst_Registry)
#include "tst_registry.moc"
