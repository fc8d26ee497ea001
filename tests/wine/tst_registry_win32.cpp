// The Windows registry back end against a real registry: Wine's, in a fresh prefix. Values are written
// with the system's reg.exe (64-bit, as an installer's script would) and read back through readValue.
// Built with the MinGW-w64 cross compiler and run under wine64 by scripts/test-registry-wine.sh.

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "RegistryValue.h"
#include "Win32Registry.h"

using modRegistryTools::win32::ReadStatus;
using modRegistryTools::win32::readValue;

namespace {

const std::wstring kBase = L"SOFTWARE\\EvenfallRegistryTest\\";
const std::wstring kNative = L"HKLM\\" + kBase;
// Where a 64-bit reg.exe puts what a 32-bit program sees below SOFTWARE.
const std::wstring kWow32 = L"HKLM\\SOFTWARE\\Wow6432Node\\EvenfallRegistryTest\\";

int passed = 0;
int failed = 0;

// One argument quoted as the C runtime splits a command line: backslashes are literal except before a
// quote, where they are doubled.
std::wstring quoted(const std::wstring &argument)
{
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L'"';
}

// Runs the system folder's reg.exe (never one beside this program) with arguments; true when it
// succeeded. Its success messages are dropped, its errors shown.
bool reg(std::initializer_list<std::wstring> arguments)
{
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring program = std::wstring(system) + L"\\reg.exe";
    std::wstring line = quoted(program);
    for (const std::wstring &argument : arguments)
        line += L' ' + quoted(argument);

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE discard = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = discard;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    DWORD code = 1;
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(discard);
    return started && code == 0;
}

// reg add for one value; a failure here is a broken set-up, so the run ends.
void add(const std::wstring &key, const std::wstring &name, const wchar_t *type, const std::wstring &data)
{
    const bool ok = name.empty() ? reg({L"add", key, L"/ve", L"/t", type, L"/d", data, L"/f"})
                                 : reg({L"add", key, L"/v", name, L"/t", type, L"/d", data, L"/f"});
    if (!ok) {
        std::printf("SET-UP FAILED: reg add of a value below a key of %zu characters\n", key.size());
        std::exit(2);
    }
}

// ASCII for the console, whatever its code page: other characters as \u{...}; long texts shortened.
std::string printable(const std::wstring &text)
{
    std::string out;
    for (const wchar_t c : text.substr(0, 60)) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char escaped[16];
            std::snprintf(escaped, sizeof(escaped), "\\u{%x}", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return text.size() > 60 ? out + "... (" + std::to_string(text.size()) + " characters)" : out;
}

const char *statusName(ReadStatus status)
{
    switch (status) {
    case ReadStatus::Ok:
        return "Ok";
    case ReadStatus::NoKey:
        return "NoKey";
    case ReadStatus::NoValue:
        return "NoValue";
    case ReadStatus::TooLong:
        return "TooLong";
    case ReadStatus::Failed:
        return "Failed";
    }
    return "?";
}

// Reads subKey's valueName below HKEY_LOCAL_MACHINE\SOFTWARE\EvenfallRegistryTest and compares.
void expect(const char *name, const std::wstring &subKey, const std::wstring &valueName, ReadStatus status,
            const std::wstring &value)
{
    std::wstring got = L"left over from before"; // must be cleared on every path
    const ReadStatus result = readValue(HKEY_LOCAL_MACHINE, kBase + subKey, valueName, got);
    if (result == status && got == value) {
        ++passed;
        std::printf("PASS %s\n", name);
    } else {
        ++failed;
        std::printf("FAIL %s: got %s \"%s\", expected %s \"%s\"\n", name, statusName(result),
                    printable(got).c_str(), statusName(status), printable(value).c_str());
    }
}

} // namespace

int wmain()
{
    const std::wstring only32 = L"C:\\Games\\Evenfall (32-bit view)";
    const std::wstring onlyNative = L"D:\\Evenfall";
    const std::wstring nonAnsi = L"C:\\Spiele\\\u00c9venfall \u2013 \u041d\u043e\u0447\u044c \u591c\\";
    const std::wstring fits(511, L'x');    // 1022 bytes and the terminating zero: 1024
    const std::wstring tooLong(512, L'x'); // 1026 bytes

    add(kWow32 + L"Only32", L"", L"REG_SZ", only32);
    add(kNative + L"OnlyNative", L"", L"REG_SZ", onlyNative);
    add(kWow32 + L"Both", L"", L"REG_SZ", L"C:\\Program Files (x86)\\Evenfall");
    add(kNative + L"Both", L"", L"REG_SZ", L"C:\\Program Files\\Evenfall");
    add(kWow32 + L"Split", L"Other", L"REG_SZ", L"not the one asked for");
    add(kNative + L"Split", L"", L"REG_SZ", L"from the native view");
    add(kNative + L"Values", L"InstallPath", L"REG_SZ", nonAnsi);
    add(kNative + L"Values", L"Empty", L"REG_SZ", L"");
    add(kNative + L"Values", L"One", L"REG_DWORD", L"1");
    add(kNative + L"Values", L"AllBits", L"REG_DWORD", L"0xffffffff");
    add(kNative + L"Values", L"Expandable", L"REG_EXPAND_SZ", L"%SystemRoot%\\Evenfall");
    add(kNative + L"Values", L"Fits", L"REG_SZ", fits);
    add(kNative + L"Values", L"TooLong", L"REG_SZ", tooLong);

    expect("a value in the 32-bit view only", L"Only32", L"", ReadStatus::Ok, only32);
    expect("a value in the native view only", L"OnlyNative", L"", ReadStatus::Ok, onlyNative);
    expect("a value in both views: the 32-bit one wins", L"Both", L"", ReadStatus::Ok,
           L"C:\\Program Files (x86)\\Evenfall");
    expect("a 32-bit key without the value: the native view's value", L"Split", L"", ReadStatus::Ok,
           L"from the native view");
    expect("a string with non-ANSI characters, whole", L"Values", L"InstallPath", ReadStatus::Ok, nonAnsi);
    expect("an empty string", L"Values", L"Empty", ReadStatus::Ok, L"");
    expect("a DWORD of 1", L"Values", L"One", ReadStatus::Ok, L"1");
    expect("a DWORD with every bit set reads unsigned", L"Values", L"AllBits", ReadStatus::Ok, L"4294967295");
    expect("an expandable string: read, but no text", L"Values", L"Expandable", ReadStatus::Ok, L"");
    expect("names compare case-insensitively", L"VALUES", L"installpath", ReadStatus::Ok, nonAnsi);
    expect("511 characters (1024 bytes) fit", L"Values", L"Fits", ReadStatus::Ok, fits);
    expect("512 characters (1026 bytes) are refused", L"Values", L"TooLong", ReadStatus::TooLong, L"");
    expect("a missing key", L"Missing", L"", ReadStatus::NoKey, L"");
    expect("a missing value", L"Values", L"Missing", ReadStatus::NoValue, L"");
    expect("a missing default value", L"Values", L"", ReadStatus::NoValue, L"");

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
