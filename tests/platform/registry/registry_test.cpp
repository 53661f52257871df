#include "platform/registry/registry.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testutil::IsolatedHome;

HKEY Create(HKEY parent, const char* path, DWORD* disposition = nullptr)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(parent, path, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             disposition),
              ERROR_SUCCESS)
        << path;
    return key;
}

LONG SetString(HKEY key, const char* name, const std::string& text)
{
    return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
}

LONG SetDword(HKEY key, const char* name, DWORD v)
{
    return RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
}

// The value's type and bytes; type REG_NONE and status in *status when missing.
std::vector<BYTE> Query(HKEY key, const char* name, DWORD* type = nullptr, LONG* status = nullptr)
{
    DWORD size = 0;
    DWORD t = REG_NONE;
    LONG st = RegQueryValueEx(key, name, nullptr, &t, nullptr, &size);
    std::vector<BYTE> data(size);
    if (st == ERROR_SUCCESS) st = RegQueryValueEx(key, name, nullptr, &t, data.data(), &size);
    if (type) *type = t;
    if (status) *status = st;
    return st == ERROR_SUCCESS ? data : std::vector<BYTE>();
}

std::vector<std::string> ValueNames(HKEY key)
{
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumValue(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    return names;
}

std::vector<std::string> KeyNames(HKEY key)
{
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyEx(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    return names;
}

std::string StoreText() { return testutil::ReadFile(QString::fromStdString(registry::StorePath())).toStdString(); }

// Points the store at a copy of the current file, so everything is read
// back from its text.
void ReloadFromCopy(const IsolatedHome& home, const char* name)
{
    const QString copy = home.File(name);
    ASSERT_TRUE(testutil::WriteFile(copy, QByteArray::fromStdString(StoreText())));
    qputenv("ZORAVEL_REGISTRY", copy.toUtf8());
}

std::string AsText(const std::vector<BYTE>& data) { return std::string(data.begin(), data.end()); }

TEST(Registry, TypedValuesSizesAndMoreData)
{
    IsolatedHome home;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Test");
    ASSERT_EQ(SetString(key, "Text", "abc"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "Number", 100), ERROR_SUCCESS);
    const BYTE bin[3] = {0x0a, 0x0b, 0xff};
    ASSERT_EQ(RegSetValueEx(key, "Bin", 0, REG_BINARY, bin, 3), ERROR_SUCCESS);
    const BYTE multi[] = {'a', 0, 'b', 0, 0};
    ASSERT_EQ(RegSetValueEx(key, "Multi", 0, REG_MULTI_SZ, multi, sizeof multi), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, nullptr, "default"), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);   // with its terminating zero

    BYTE small[2];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key, "Text", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);

    BYTE buf[16] = {};
    size = sizeof buf;
    ASSERT_EQ(RegQueryValueEx(key, "Number", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    DWORD number;
    std::memcpy(&number, buf, 4);
    EXPECT_EQ(number, 100u);

    EXPECT_EQ(Query(key, "Bin", &type), std::vector<BYTE>(bin, bin + 3));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(Query(key, "Multi", &type), std::vector<BYTE>(multi, multi + sizeof multi));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_TRUE(Query(key, "Empty", &type).empty());
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(AsText(Query(key, "")), std::string("default", 8));
    EXPECT_EQ(AsText(Query(key, nullptr)), std::string("default", 8));

    LONG status = 0;
    Query(key, "Missing", &type, &status);
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueEx(key, "Text", nullptr, nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(key, "X", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);

    // Replacing a value may change its type.
    ASSERT_EQ(SetDword(key, "Text", 7), ERROR_SUCCESS);
    Query(key, "Text", &type);
    EXPECT_EQ(type, REG_DWORD);

    DWORD subKeys = 9, values = 0;
    ASSERT_EQ(RegQueryInfoKey(key, &subKeys, &values), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 6u);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST(Registry, NamesIgnoreCaseAndKeepTheFirstSpelling)
{
    IsolatedHome home;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD");
    ASSERT_EQ(SetDword(key, "SkipLength", 25), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "SKIPLENGTH", 30), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, "Ärger", "x"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, "äRGER", "y"), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"SkipLength", "Ärger"}));
    EXPECT_EQ(AsText(Query(key, "ärger")), std::string("y", 2));
    EXPECT_EQ(Query(key, "skiplength")[0], 30);

    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\bruvo\\zodvd", 0, KEY_READ, &same), ERROR_SUCCESS);
    EXPECT_EQ(Query(same, "SkipLength")[0], 30);
    DWORD disposition = 0;
    HKEY again = Create(HKEY_CURRENT_USER, "software\\BRUVO", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(KeyNames(again), std::vector<std::string>{"ZoDVD"});

    // The spelling survives the file.
    ReloadFromCopy(home, "copy.reg");
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(KeyNames(software), std::vector<std::string>{"Bruvo"});
    EXPECT_EQ(ValueNames(same), (std::vector<std::string>{"SkipLength", "Ärger"}));
    for (HKEY k : {key, same, again, software}) RegCloseKey(k);
}

TEST(Registry, OpenDoesNotCreate)
{
    IsolatedHome home;
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(registry::StorePath())));

    DWORD disposition = 0;
    key = Create(HKEY_CURRENT_USER, "Software\\A\\B\\C", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    key = Create(HKEY_CURRENT_USER, "Software\\A\\B\\C", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    // Relative to an open key, and an empty sub-key names the key itself.
    HKEY a = nullptr, c = nullptr, self = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &a), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyEx(a, "B\\C", 0, KEY_READ, &c), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyEx(a, "", 0, KEY_READ, &self), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(c, "V", 5), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, "V")[0], 5);
    EXPECT_EQ(KeyNames(self), std::vector<std::string>{"B"});

    // The roots are separate trees.
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\A", 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND);
    RegCloseKey(Create(HKEY_CLASSES_ROOT, ".avi"));
    EXPECT_NE(StoreText().find("[HKEY_CLASSES_ROOT\\.avi]"), std::string::npos);

    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    for (HKEY k : {key, a, c, self}) EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueEx(key, "V", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
}

TEST(Registry, EnumerationByIndex)
{
    IsolatedHome home;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Enum");
    RegCloseKey(Create(key, "Zeta"));
    RegCloseKey(Create(key, "Alpha"));
    SetDword(key, "Second", 2);
    SetString(key, "LongValueName", "0123456789");

    EXPECT_EQ(KeyNames(key), (std::vector<std::string>{"Zeta", "Alpha"}));
    char name[64];
    DWORD nameSize = 4;   // too small for "Zeta" and its zero
    EXPECT_EQ(RegEnumKeyEx(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    nameSize = sizeof name;
    EXPECT_EQ(RegEnumKeyEx(key, 2, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    DWORD type = 0;
    BYTE data[4];
    DWORD dataSize = sizeof data;
    nameSize = sizeof name;
    EXPECT_EQ(RegEnumValue(key, 1, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 11u);
    dataSize = 0;
    nameSize = sizeof name;
    ASSERT_EQ(RegEnumValue(key, 1, name, &nameSize, nullptr, &type, nullptr, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "LongValueName");
    EXPECT_EQ(nameSize, 13u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(dataSize, 11u);
    nameSize = 13;
    EXPECT_EQ(RegEnumValue(key, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    nameSize = sizeof name;
    EXPECT_EQ(RegEnumValue(key, 2, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST(Registry, DeleteValueAndKeyTree)
{
    IsolatedHome home;
    HKEY zo = Create(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD");
    HKEY main = Create(zo, "Main");
    HKEY preset = Create(zo, "Color\\Overlay\\Night");
    SetDword(main, "Volume", 80);
    SetDword(preset, "Gamma", 1);

    EXPECT_EQ(RegDeleteValue(main, "VOLUME"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(main, "Volume"), ERROR_FILE_NOT_FOUND);

    HKEY bruvo = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Bruvo", 0, KEY_WRITE, &bruvo), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(bruvo, "zodvd"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(bruvo, "ZoDVD"), ERROR_FILE_NOT_FOUND);
    DWORD subKeys = 1;
    ASSERT_EQ(RegQueryInfoKey(bruvo, &subKeys, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(StoreText().find("ZoDVD"), std::string::npos);

    // Handles below the deleted key stay valid handles of a deleted key.
    EXPECT_EQ(SetDword(main, "Volume", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueEx(preset, "Gamma", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyEx(zo, "Main", 0, "", 0, KEY_WRITE, nullptr, &child, nullptr), ERROR_KEY_DELETED);

    // A handle's own key with an empty sub-key; never a root.
    EXPECT_EQ(RegDeleteKey(bruvo, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_TRUE(KeyNames(software).empty());
    for (HKEY k : {zo, main, preset, bruvo, software}) RegCloseKey(k);
}

TEST(Registry, FileFormatRoundTrip)
{
    IsolatedHome home;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD\\Main");
    SetDword(key, "Volume", 100);
    SetString(key, "InitialDir", "/home/user/ビデオ");
    const std::string tricky = "a\\b\"c\nd\re\tf\x01g\x7f";
    SetString(key, "Tricky \"name\" \\", tricky);
    const BYTE guid[4] = {0x0a, 0x0b, 0x00, 0xff};
    RegSetValueEx(key, "Filter", 0, REG_BINARY, guid, 4);
    const BYTE q[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    RegSetValueEx(key, "Big", 0, REG_QWORD, q, 8);
    const BYTE unterminated[3] = {'a', 'b', 'c'};
    RegSetValueEx(key, "NoZero", 0, REG_SZ, unterminated, 3);
    const BYTE latin1[3] = {0xe9, 't', 0};
    RegSetValueEx(key, "NotUtf8", 0, REG_SZ, latin1, 3);
    const BYTE shortDword[2] = {1, 0};
    RegSetValueEx(key, "Short", 0, REG_DWORD, shortDword, 2);
    SetString(key, "", "default");
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD\\Empty"));

    const std::string text = StoreText();
    EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\Bruvo]\n\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Bruvo\\ZoDVD\\Main]\n"
                        "\"Volume\"=dword:00000064\n"
                        "\"InitialDir\"=\"/home/user/ビデオ\"\n"
                        "\"Tricky \\\"name\\\" \\\\\"=\"a\\\\b\\\"c\\nd\\re\\tf\\x01g\\x7f\"\n"
                        "\"Filter\"=hex:0a,0b,00,ff\n"
                        "\"Big\"=hex(b):01,02,03,04,05,06,07,08\n"
                        "\"NoZero\"=hex(1):61,62,63\n"
                        "\"NotUtf8\"=hex(1):e9,74,00\n"
                        "\"Short\"=hex(4):01,00\n"
                        "@=\"default\"\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Bruvo\\ZoDVD\\Empty]\n\n"),
              std::string::npos)
        << text;

    ReloadFromCopy(home, "copy.reg");
    DWORD type = 0;
    EXPECT_EQ(AsText(Query(key, "tricky \"NAME\" \\", &type)), tricky + '\0');
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(AsText(Query(key, "InitialDir")), std::string("/home/user/ビデオ") + '\0');
    EXPECT_EQ(AsText(Query(key, "NoZero", &type)), "abc");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(Query(key, "NotUtf8"), std::vector<BYTE>(latin1, latin1 + 3));
    EXPECT_EQ(Query(key, "Big", &type), std::vector<BYTE>(q, q + 8));
    EXPECT_EQ(type, REG_QWORD);
    EXPECT_EQ(Query(key, "Short", &type).size(), 2u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(Query(key, "Filter"), std::vector<BYTE>(guid, guid + 4));
    // Written again from what was read, the file comes out the same.
    ASSERT_EQ(SetDword(key, "Volume", 101), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "Volume", 100), ERROR_SUCCESS);
    EXPECT_EQ(StoreText(), text);
    RegCloseKey(key);
}

TEST(Registry, HandWrittenFileWithOddSpacingAndBadLines)
{
    IsolatedHome home;
    ASSERT_TRUE(testutil::WriteFile(
        home.File("registry.reg"),
        "\xEF\xBB\xBFREGEDIT4\r\n"
        "\r\n"
        "\"Orphan\"=dword:00000001\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Bruvo\\ZoDVD\\Main]\r\n"
        "  \"Volume\" = DWORD:64   \r\n"
        "\"Name\"  =  \"spaced \\q\"  \r\n"
        "\"Unterminated\"=\"abc\r\n"
        "\"BadHex\"=hex:0a,zz\r\n"
        "\"TooLong\"=dword:123456789\r\n"
        "\"NoEquals\" dword:00000001\r\n"
        "\"Garbage\"=str:abc\r\n"
        "\"Removed\"=-\r\n"
        "\"Expand\"=hex(2):25,00\r\n"
        "\"Wrapped\"=hex:01,02,\\\r\n"
        "    03,04\r\n"
        "\"Trailing\"=\"x\" junk\r\n"
        "random words\r\n"
        "\"After\"=dword:2\r\n"
        "\r\n"
        "[HKEY_USERS\\Other]\r\n"
        "\"Lost\"=dword:1\r\n"
        "[HKCU\\Software\\Bruvo\\ZoDVD\\Main]\r\n"
        "\"Merged\"=dword:3\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
        "[HKEY_CURRENT_USER\\Software\\Unclosed\r\n"
        "\"InUnclosed\"=dword:1\r\n"
        "[HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Odd\\]\r\n"
        "@=\"root default\"\r\n"));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD\\Main", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(key),
              (std::vector<std::string>{"Volume", "Name", "Expand", "Wrapped", "After", "Merged"}));
    EXPECT_EQ(Query(key, "Volume")[0], 0x64);
    EXPECT_EQ(AsText(Query(key, "Name")), std::string("spaced \\q") + '\0');
    DWORD type = 0;
    EXPECT_EQ(Query(key, "Expand", &type), (std::vector<BYTE>{0x25, 0x00}));
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(Query(key, "Wrapped"), (std::vector<BYTE>{1, 2, 3, 4}));

    HKEY odd = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software\\odd", 0, KEY_READ, &odd), ERROR_SUCCESS);
    EXPECT_EQ(AsText(Query(odd, nullptr)), std::string("root default") + '\0');
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(KeyNames(software), std::vector<std::string>{"Bruvo"});

    // A change rewrites the file in the canonical form, and every line the
    // reader did not understand stays where it stood: comments, values of
    // unknown form, sections of other roots and broken headers.
    ASSERT_EQ(SetDword(key, "New", 1), ERROR_SUCCESS);
    const std::string text = StoreText();
    EXPECT_EQ(text.rfind("REGEDIT4\n\n", 0), 0u);
    EXPECT_NE(text.find("\"Wrapped\"=hex:01,02,03,04\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd]\n@=\"root default\"\n"), std::string::npos);
    EXPECT_EQ(text,
              "REGEDIT4\n\n"
              "\"Orphan\"=dword:00000001\n"
              "; a comment\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Bruvo]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Bruvo\\ZoDVD]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Bruvo\\ZoDVD\\Main]\n"
              "\"Volume\"=dword:00000064\n"
              "\"Name\"=\"spaced \\\\q\"\n"
              "\"Unterminated\"=\"abc\n"
              "\"BadHex\"=hex:0a,zz\n"
              "\"TooLong\"=dword:123456789\n"
              "\"NoEquals\" dword:00000001\n"
              "\"Garbage\"=str:abc\n"
              "\"Removed\"=-\n"
              "\"Expand\"=hex(2):25,00\n"
              "\"Wrapped\"=hex:01,02,03,04\n"
              "\"Trailing\"=\"x\" junk\n"
              "random words\n"
              "\"After\"=dword:00000002\n"
              "\"Merged\"=dword:00000003\n"
              "\"New\"=dword:00000001\n\n"
              "[HKEY_USERS\\Other]\n"
              "\"Lost\"=dword:1\n\n"
              "[-HKEY_CURRENT_USER\\Software\\Gone]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Unclosed\n"
              "\"InUnclosed\"=dword:1\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd]\n"
              "@=\"root default\"\n\n");

    // Deleting values and keys moves the kept lines to their neighbours
    // instead of dropping them; only the sections of the deleted key go.
    ASSERT_EQ(RegDeleteValue(key, "Expand"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValue(key, "After"), ERROR_SUCCESS);
    HKEY zo = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD", 0, KEY_WRITE, &zo), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKey(zo, "Main"), ERROR_SUCCESS);
    EXPECT_EQ(StoreText(),
              "REGEDIT4\n\n"
              "\"Orphan\"=dword:00000001\n"
              "; a comment\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Bruvo]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Bruvo\\ZoDVD]\n\n"
              "[HKEY_USERS\\Other]\n"
              "\"Lost\"=dword:1\n\n"
              "[-HKEY_CURRENT_USER\\Software\\Gone]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Unclosed\n"
              "\"InUnclosed\"=dword:1\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd]\n"
              "@=\"root default\"\n\n");
    RegCloseKey(zo);
    for (HKEY k : {key, odd, software}) RegCloseKey(k);
}

// Files made of random fragments of the format, most of them after a header:
// reading never fails, and what is written from them reads back to the same
// file (those without a header are moved aside, and the registry starts empty).
TEST(Registry, GarbageFilesReadAndRewriteStably)
{
    IsolatedHome home;
    const char* const fragments[] = {"[HKEY_CURRENT_USER\\A", "[HKCU\\B\\", "[HKEY_LOCAL_MACHINE]", "]", "\"", "=",
                                  "dword:", "hex:", "hex(7):", "hex(", "0a,", "ff", "\\", "\\\\", "\\x4", "\\x41",
                                  "\n", "\r\n", "@", "x", "é", ";", " ", "\xff", "-", "\t", ",", "REGEDIT4",
                                  "\n[HKEY_CURRENT_USER\\Software\\Key]\n", "\n[HKEY_CLASSES_ROOT\\.x]\n",
                                  "\"v\"=dword:1\n", "\"s\"=\"t\\\\\"\n", "@=hex:01,\\\n  02\n",
                                  "\"Q\"=\"", "\"b\"=hex(b):"};
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    auto rewrite = [] {
        // A change and its undoing: the file is written twice from the tree.
        HKEY marker = nullptr;
        if (RegCreateKeyEx(HKEY_CURRENT_USER, "ZzMarker", 0, "", 0, KEY_WRITE, nullptr, &marker, nullptr) ==
            ERROR_SUCCESS)
            RegCloseKey(marker);
        RegDeleteKey(HKEY_CURRENT_USER, "ZzMarker");
        return StoreText();
    };
    for (int round = 0; round < 200; ++round) {
        std::string text = round % 4 ? "REGEDIT4\n" : "";
        const unsigned count = next() % 60;
        for (unsigned i = 0; i < count; ++i) text += fragments[next() % std::size(fragments)];
        const QString path = home.File(QString("g%1.reg").arg(round));
        ASSERT_TRUE(testutil::WriteFile(path, QByteArray::fromStdString(text)));
        qputenv("ZORAVEL_REGISTRY", path.toUtf8());
        const std::string first = rewrite();
        ASSERT_EQ(first.rfind("REGEDIT4\n\n", 0), 0u) << text;
        ReloadFromCopy(home, "again.reg");
        EXPECT_EQ(rewrite(), first) << "from: " << text;
    }
}

TEST(Registry, HandlesFollowTheFileWhenItChangesUnderThem)
{
    IsolatedHome home;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Shared");
    SetDword(key, "A", 1);
    const QString path = QString::fromStdString(registry::StorePath());
    ASSERT_TRUE(testutil::WriteFile(path, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Shared]\n\"A\"=dword:2\n"
                                          "\"B\"=dword:3\n"));
    EXPECT_EQ(Query(key, "A")[0], 2);
    EXPECT_EQ(Query(key, "B")[0], 3);

    ASSERT_TRUE(testutil::WriteFile(path, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n"));
    EXPECT_EQ(RegQueryValueEx(key, "A", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);

    // The file removed: an empty registry again.
    ASSERT_TRUE(QFile::remove(path));
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Other", 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST(Registry, StoreThatCannotBeReadIsNeverReplaced)
{
    IsolatedHome home;
    const QString path = home.File("store-is-a-folder");
    ASSERT_TRUE(QDir().mkpath(path + "/inside"));
    qputenv("ZORAVEL_REGISTRY", path.toUtf8());
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_NE(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\X", 0, "", 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(key, nullptr);
    EXPECT_NE(RegSetValueEx(HKEY_CURRENT_USER, "V", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_TRUE(QFileInfo(path + "/inside").isDir());

    // A folder in place of the store's own folder.
    ASSERT_TRUE(testutil::WriteFile(home.File("plain"), "x"));
    qputenv("ZORAVEL_REGISTRY", home.File("plain/registry.reg").toUtf8());
    EXPECT_NE(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\X", 0, "", 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(testutil::ReadFile(home.File("plain")), "x");
}

TEST(Registry, StoreLocation)
{
    IsolatedHome home;
    qputenv("ZORAVEL_REGISTRY", home.File("deep/er/store.reg").toUtf8());
    EXPECT_EQ(registry::StorePath(), home.File("deep/er/store.reg").toStdString());
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software"));
    EXPECT_TRUE(QFile::exists(home.File("deep/er/store.reg")));

    qunsetenv("ZORAVEL_REGISTRY");
    qputenv("XDG_CONFIG_HOME", home.File("xdg").toUtf8());
    EXPECT_EQ(registry::StorePath(), home.File("xdg/Zoravel/registry.reg").toStdString());
    registry::SetStorePath(home.File("override.reg").toStdString());
    EXPECT_EQ(registry::StorePath(), home.File("override.reg").toStdString());
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    registry::SetStorePath("");
    EXPECT_EQ(registry::StorePath(), home.File("xdg/Zoravel/registry.reg").toStdString());
}

TEST(Registry, WriteBatchWritesOnce)
{
    IsolatedHome home;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Batch");
    const std::string before = StoreText();
    {
        registry::WriteBatch batch;
        for (DWORD i = 0; i < 20; ++i) SetDword(key, ("V" + std::to_string(i)).c_str(), i);
        EXPECT_EQ(Query(key, "V19")[0], 19);   // pending changes are visible here
        EXPECT_EQ(StoreText(), before);         // and not yet in the file
    }
    EXPECT_NE(StoreText().find("\"V19\"=dword:00000013"), std::string::npos);

    // Rewriting a value with the same data leaves the file alone.
    struct stat st1, st2;
    ASSERT_EQ(stat(registry::StorePath().c_str(), &st1), 0);
    EXPECT_EQ(SetDword(key, "V3", 3), ERROR_SUCCESS);
    ASSERT_EQ(stat(registry::StorePath().c_str(), &st2), 0);
    EXPECT_EQ(st1.st_ino, st2.st_ino);
    RegCloseKey(key);
}

// Two processes add many values to the same key at once; none is lost.
TEST(Registry, ConcurrentWritersLoseNothing)
{
    IsolatedHome home;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Race");
    SetDword(key, "Seed", 1);
    constexpr int kPerChild = 150;
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            HKEY k = nullptr;
            if (RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Race", 0, "", 0, KEY_WRITE, nullptr, &k, nullptr))
                _exit(2);
            for (int i = 0; i < kPerChild; ++i) {
                const std::string name = "P" + std::to_string(c) + "_" + std::to_string(i);
                if (SetDword(k, name.c_str(), static_cast<DWORD>(i)) != ERROR_SUCCESS) _exit(3);
                // Reads in between keep the child's cache busy too.
                if (i % 10 == 0 && Query(k, "Seed").empty()) _exit(4);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, &values), ERROR_SUCCESS);
    EXPECT_EQ(values, 2u * kPerChild + 1);
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kPerChild; ++i) {
            const std::string name = "P" + std::to_string(c) + "_" + std::to_string(i);
            const auto data = Query(key, name.c_str());
            ASSERT_EQ(data.size(), 4u) << name;
            EXPECT_EQ(data[0], i) << name;
        }
    }
    // The file itself holds them all.
    ReloadFromCopy(home, "copy.reg");
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, &values), ERROR_SUCCESS);
    EXPECT_EQ(values, 2u * kPerChild + 1);
    RegCloseKey(key);
}

// A file at the store's path that is not a registry file (here a shell
// script) is never written over: it is moved aside whole, the user is told
// once where it went, and the registry starts empty at the old path.
TEST(Registry, ForeignFileIsMovedAsideAndReportedOnce)
{
    IsolatedHome home;
    const QString path = home.File("script.sh");
    const QByteArray script = "#!/bin/sh\n[ -d \"$HOME\" ] && echo \"a=1\"\n\"x\"=dword:00000001\n";
    ASSERT_TRUE(testutil::WriteFile(path, script));
    qputenv("ZORAVEL_REGISTRY", path.toUtf8());

    const registry::StoreProblem problem = registry::CheckStore();
    ASSERT_EQ(problem.kind, registry::StoreProblem::kMovedAside);
    EXPECT_EQ(problem.path, path.toStdString());
    EXPECT_EQ(problem.movedTo.rfind(path.toStdString() + ".unreadable-", 0), 0u) << problem.movedTo;
    EXPECT_NE(problem.Message().find(problem.movedTo), std::string::npos);
    EXPECT_EQ(testutil::ReadFile(QString::fromStdString(problem.movedTo)), script);
    EXPECT_FALSE(QFile::exists(path));

    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD\\Main");
    EXPECT_TRUE(ValueNames(key).empty());
    ASSERT_EQ(SetDword(key, "Volume", 50), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(testutil::ReadFile(QString::fromStdString(problem.movedTo)), script);
    EXPECT_EQ(registry::CheckStore().kind, registry::StoreProblem::kNone);   // told once

    // Another foreign file later in the run is moved aside too, beside the first.
    ASSERT_TRUE(testutil::WriteFile(path, QByteArray("\x00\xff\x13random", 9)));
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(QDir(home.Path()).entryList({"script.sh.unreadable-*"}).size(), 2);
}

TEST(Registry, EmptyFilesAndBothHeadersAreOurs)
{
    IsolatedHome home;
    const QString path = home.File("registry.reg");
    ASSERT_TRUE(testutil::WriteFile(path, " \n\r\n"));
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\A");
    RegCloseKey(key);
    EXPECT_EQ(StoreText(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\A]\n\n");

    ASSERT_TRUE(testutil::WriteFile(path, "\nWindows Registry Editor Version 5.00\r\n\r\n"
                                          "[HKEY_CURRENT_USER\\Software\\A]\r\n\"V\"=dword:00000001\r\n"));
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\A", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "W", 2), ERROR_SUCCESS);
    EXPECT_EQ(StoreText().rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u) << StoreText();
    EXPECT_EQ(Query(key, "V")[0], 1);
    RegCloseKey(key);
    EXPECT_EQ(registry::CheckStore().kind, registry::StoreProblem::kNone);
    EXPECT_TRUE(QDir(home.Path()).entryList({"*.unreadable-*"}).isEmpty());
}

// A folder at the store's path: reported with the path, the registry runs
// on its defaults and nothing is written.
TEST(Registry, StoreThatCannotBeUsedIsReported)
{
    IsolatedHome home;
    const QString path = home.File("registry.reg");
    ASSERT_TRUE(QDir().mkpath(path + "/inside"));
    const registry::StoreProblem problem = registry::CheckStore();
    EXPECT_EQ(problem.kind, registry::StoreProblem::kCannotRead);
    EXPECT_NE(problem.Message().find(path.toStdString()), std::string::npos);
    EXPECT_EQ(registry::CheckStore().kind, registry::StoreProblem::kNone);
    EXPECT_TRUE(QFileInfo(path + "/inside").isDir());
}

// Reads of a file that no one changed cost a stat each: no lock, no read.
TEST(Registry, ReadsOfAnUnchangedFileTakeNoLock)
{
    IsolatedHome home;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD\\Main");
    SetDword(key, "Volume", 1);
    const QString lock = QString::fromStdString(registry::StorePath()) + ".lock";
    ASSERT_TRUE(QFile::remove(lock));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(Query(key, "Volume")[0], 1);
    EXPECT_FALSE(QFile::exists(lock));

    // Another process's change is seen at the next read.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(SetDword(key, "Volume", 2) == ERROR_SUCCESS ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Query(key, "Volume")[0], 2);
    RegCloseKey(key);
}

}  // namespace

// Keys nest at most 512 levels: a deeper chain, as one section or level by
// level, makes the file one that is not ours; up to the limit it is read and
// written back as it was, and no deeper key can be created.
TEST(Registry, KeysNestAtMost512Levels)
{
    IsolatedHome home;
    const auto chain = [](int depth) {
        std::string path = "HKEY_CURRENT_USER";
        for (int i = 0; i < depth; ++i) path += "\\k";
        return path;
    };
    std::string byLevel = "REGEDIT4\n\n";
    for (int depth = 1; depth <= 513; ++depth) byLevel += "[" + chain(depth) + "]\n";
    const std::vector<std::pair<const char*, std::string>> deep = {
        {"one-section.reg", "REGEDIT4\n\n[" + chain(20000) + "]\n\"v\"=dword:00000001\n"},
        {"by-level.reg", byLevel},
    };
    for (const auto& [name, text] : deep) {
        SCOPED_TRACE(name);
        const QString path = home.File(name);
        ASSERT_TRUE(testutil::WriteFile(path, QByteArray::fromStdString(text)));
        qputenv("ZORAVEL_REGISTRY", path.toUtf8());
        const registry::StoreProblem problem = registry::CheckStore();
        ASSERT_EQ(problem.kind, registry::StoreProblem::kMovedAside);
        EXPECT_EQ(testutil::ReadFile(QString::fromStdString(problem.movedTo)).toStdString(), text);
        HKEY key = Create(HKEY_CURRENT_USER, "Software");
        ASSERT_EQ(SetDword(key, "x", 1), ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_LT(StoreText().size(), 100u);
        EXPECT_EQ(registry::CheckStore().kind, registry::StoreProblem::kNone);
    }

    const QString path = home.File("limit.reg");
    const std::string limit = "REGEDIT4\n\n[" + chain(512) + "]\n\"v\"=dword:00000007\n\n";
    ASSERT_TRUE(testutil::WriteFile(path, QByteArray::fromStdString(limit)));
    qputenv("ZORAVEL_REGISTRY", path.toUtf8());
    HKEY deepest = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, chain(512).substr(18).c_str(), 0, KEY_READ, &deepest), ERROR_SUCCESS);
    EXPECT_EQ(Query(deepest, "v"), (std::vector<BYTE>{7, 0, 0, 0}));
    HKEY below = nullptr;
    EXPECT_EQ(RegCreateKeyEx(deepest, "k", 0, "", 0, KEY_ALL_ACCESS, nullptr, &below, nullptr),
              ERROR_INVALID_PARAMETER);
    ASSERT_EQ(SetDword(deepest, "w", 8), ERROR_SUCCESS);
    RegCloseKey(deepest);
    // Written back with every level's section, the deepest holding both values.
    const std::string written = StoreText();
    const std::string tail = "[" + chain(512) + "]\n\"v\"=dword:00000007\n\"w\"=dword:00000008\n\n";
    EXPECT_TRUE(written.size() > tail.size() && written.compare(written.size() - tail.size(), tail.size(), tail) == 0);
    EXPECT_TRUE(written.find("[" + chain(511) + "]\n\n[") != std::string::npos);
}
