#include "common/Reghelp.h"
#include "player/units/Settings.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testutil::IsolatedHome;

HKEY CreateMain()
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kMainKey, 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

void SetRaw(HKEY key, const char* name, DWORD type, const std::string& bytes)
{
    ASSERT_EQ(RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

std::vector<std::string> ValueNames(HKEY key)
{
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumValue(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name);
    }
    return names;
}

// The table defaults, spelled out independently of the struct's initialisers.
void ExpectTableDefaults(const TMainSettings& s)
{
    EXPECT_EQ(s.Left, 100);
    EXPECT_EQ(s.Top, 100);
    EXPECT_EQ(s.Volume, 100u);
    EXPECT_EQ(s.SkipLength, 25u);
    EXPECT_EQ(s.SeekInterval, 200u);
    EXPECT_TRUE(s.DVDAutoResize);
    EXPECT_TRUE(s.DVDResumeEnable);
    EXPECT_FALSE(s.DVDStretchVideo);
    EXPECT_EQ(s.Renderer, 1u);
    EXPECT_EQ(s.ColorCtlWait, 100u);
    EXPECT_EQ(s.ShowPictureLength, 5u);
    EXPECT_EQ(s.FastForwardLength, 2u);
    EXPECT_EQ(s.MouseCtlLength, 2u);
    EXPECT_FALSE(s.Mpeg2Splitter);
    EXPECT_EQ(s.ViewerFontSize, 9u);
    EXPECT_EQ(s.ViewerMax, 6440u);
    EXPECT_TRUE(s.ScreenSaver);
    EXPECT_TRUE(s.MonitorPower);
    EXPECT_TRUE(s.ShowPowerState);
    EXPECT_EQ(s.PowerState, 2u);
    EXPECT_TRUE(s.ShowHint);
    EXPECT_TRUE(s.StillSeek);
    EXPECT_TRUE(s.ResumeFile);
    EXPECT_TRUE(s.ShowStatus);
    EXPECT_TRUE(s.VolumeAuto);
    EXPECT_TRUE(s.Mpeg2OverlayMixer);
    EXPECT_TRUE(s.CheckSeekability);
    EXPECT_TRUE(s.ShowLibraryIcon);
    EXPECT_TRUE(s.IndexFontBold);
    EXPECT_TRUE(s.ResetColor);
    EXPECT_EQ(s.LastHeight, 240u);
    EXPECT_EQ(s.LastWidth, 320u);
    EXPECT_EQ(s.AspectRatio, 0u);
    EXPECT_TRUE(s.AdjustWindowSize);
    EXPECT_TRUE(s.GetVideoSize);
    EXPECT_EQ(s.WindowSize, 3u);
    EXPECT_EQ(s.SelectedSize, 0x14412Cu);
    EXPECT_TRUE(s.ReadID3v2);
    EXPECT_TRUE(s.UseBookmark);
    EXPECT_TRUE(s.UseViewer);
    EXPECT_EQ(s.IndexFontColor, 0x0080FFu);
    EXPECT_TRUE(s.ResetAudioMixer);
    EXPECT_EQ(s.MouseDouble, 1);
    EXPECT_EQ(s.MouseMiddle, -1);
    EXPECT_EQ(s.WheelUp, 12);
    EXPECT_EQ(s.WheelDown, 11);
    EXPECT_EQ(s.MouseX1, -1);
    EXPECT_EQ(s.MouseX2, -1);
    EXPECT_TRUE(s.SetTopItem);
    EXPECT_TRUE(s.AdjustVBR);
    EXPECT_FALSE(s.AlwaysOnTop);
    EXPECT_TRUE(s.MPEG1Video.isEmpty());
    EXPECT_TRUE(s.InitialDir.isEmpty());
    EXPECT_FALSE(s.ModifyKey);
    EXPECT_TRUE(s.UseArrowKeyInMenu);
}

TEST(MainSettings, EmptyBranchGivesDefaultsAndCreatesTheKey)
{
    IsolatedHome home;
    TMainSettings s;
    s.Volume = 7;   // overwritten by the load
    ASSERT_TRUE(LoadMainSettings(&s));
    ExpectTableDefaults(s);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMainKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 1;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, &values), ERROR_SUCCESS);
    EXPECT_EQ(values, 0u);
    RegCloseKey(key);
}

TEST(MainSettings, KeyThatCannotBeOpenedGivesTableDefaults)
{
    IsolatedHome home;
    const QString folder = home.File("store-is-a-folder");
    ASSERT_TRUE(QDir().mkpath(folder));
    qputenv("ZORAVEL_REGISTRY", folder.toUtf8());
    TMainSettings s;
    s.Volume = 0;
    s.MouseMiddle = 3;
    EXPECT_FALSE(LoadMainSettings(&s));
    ExpectTableDefaults(s);
    SaveMainSettings(s, true);   // nothing to write to; no crash
    EXPECT_EQ(ReadExtensionListValue(), QString::fromLatin1(kDefaultExtensionList));
}

TEST(MainSettings, StoredValuesAndTheirRules)
{
    IsolatedHome home;
    HKEY key = CreateMain();
    RegWriteDword(key, "Left", static_cast<DWORD>(-20));
    RegWriteDword(key, "Volume", 55);
    RegWriteDword(key, "Loop", 2);   // any non-zero is on
    RegWriteBool(key, "DVDAutoResize", false);
    RegWriteString(key, "SkipLength", "10");   // wrong type: default
    SetRaw(key, "SeekInterval", REG_DWORD, std::string("\x05\x00", 2));   // wrong size: default
    RegWriteDword(key, "MPEG-2 Splitter", 1);
    RegWriteDword(key, "WindowSize", 7);
    RegWriteDword(key, "AspectRatio", 9);
    RegWriteDword(key, "MouseMiddle", 5);
    RegWriteDword(key, "MouseDouble", 0xFFFFFFFF);
    RegWriteDword(key, "ListSort", 4);
    RegWriteDword(key, "DefaultSort", 2);
    RegWriteString(key, "InitialDir", "/media/映像");
    RegWriteString(key, "ViewerFont", QString(31, 'F'));   // 32 bytes with its zero: fits
    RegWriteDword(key, "UseArrowKeyInMenu", 0);

    TMainSettings s;
    ASSERT_TRUE(LoadMainSettings(&s));
    EXPECT_EQ(s.Left, -20);
    EXPECT_EQ(s.Volume, 55u);
    EXPECT_TRUE(s.Loop);
    EXPECT_FALSE(s.DVDAutoResize);
    EXPECT_EQ(s.SkipLength, 25u);
    EXPECT_EQ(s.SeekInterval, 200u);
    EXPECT_TRUE(s.Mpeg2Splitter);
    EXPECT_EQ(s.WindowSize, 3u);
    EXPECT_EQ(s.AspectRatio, 0u);
    EXPECT_EQ(s.MouseMiddle, 5);
    EXPECT_EQ(s.MouseDouble, -1);
    EXPECT_EQ(s.ListSort, 2u);   // KeepSortType off: DefaultSort, whatever is stored
    EXPECT_EQ(s.InitialDir, QString("/media/映像"));
    EXPECT_EQ(s.ViewerFont, QString(31, 'F'));
    EXPECT_FALSE(s.UseArrowKeyInMenu);

    RegWriteBool(key, "KeepSortType", true);
    RegWriteDword(key, "WindowSize", 0);
    RegWriteDword(key, "AspectRatio", 4);
    RegWriteString(key, "ViewerFont", QString(32, 'F'));   // 33 bytes: too large
    RegWriteString(key, "InitialDir", QString(260, 'd'));
    ASSERT_TRUE(LoadMainSettings(&s));
    EXPECT_EQ(s.ListSort, 4u);
    EXPECT_EQ(s.WindowSize, 0u);
    EXPECT_EQ(s.AspectRatio, 4u);
    EXPECT_TRUE(s.ViewerFont.isEmpty());
    EXPECT_TRUE(s.InitialDir.isEmpty());
    RegCloseKey(key);
}

TEST(MainSettings, DecoderChoicesNeedAStringOfMoreThanOneByte)
{
    IsolatedHome home;
    HKEY key = CreateMain();
    SetRaw(key, "MPEG1Video", REG_BINARY, "abc");
    RegWriteString(key, "MPEG1Audio", "");   // one byte
    SetRaw(key, "MPEG2Video", REG_SZ, "NoZero");
    RegWriteString(key, "MPEG2Audio", "Audio デコーダ");
    TMainSettings s;
    ASSERT_TRUE(LoadMainSettings(&s));
    EXPECT_TRUE(s.MPEG1Video.isEmpty());
    EXPECT_TRUE(s.MPEG1Audio.isEmpty());
    EXPECT_EQ(s.MPEG2Video, "NoZero");
    EXPECT_EQ(s.MPEG2Audio, QString("Audio デコーダ"));
    RegCloseKey(key);
}

TEST(MainSettings, SaveWritesTheTwentyFourValuesInOrder)
{
    IsolatedHome home;
    TMainSettings s;
    ASSERT_TRUE(LoadMainSettings(&s));
    s.Left = -5;
    s.InitialDir = "/home/user/動画";
    s.Loop = true;
    s.WindowSize = 1;
    SaveMainSettings(s, true);

    HKEY key = CreateMain();
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{
                                   "Left", "Top", "InitialDir", "Volume", "PowerState", "WindowSize",
                                   "SelectedSize", "LastSelectedFolder", "Loop", "AspectRatio", "ContinuousPlay",
                                   "PowerControl", "Shuffle", "AdjustWindowSize", "KeepSize", "LastHeight",
                                   "LastWidth", "LibrarySort", "FolderSort", "ListSort", "SetTopItem",
                                   "KeepSortType", "DefaultSort", "AlwaysOnTop"}));
    TMainSettings back;
    ASSERT_TRUE(LoadMainSettings(&back));
    EXPECT_EQ(back.Left, -5);
    EXPECT_EQ(back.InitialDir, s.InitialDir);
    EXPECT_TRUE(back.Loop);
    EXPECT_EQ(back.WindowSize, 1u);

    // A bool stored as 2 is written back as 1.
    RegWriteDword(key, "Shuffle", 2);
    ASSERT_TRUE(LoadMainSettings(&back));
    EXPECT_TRUE(back.Shuffle);
    SaveMainSettings(back, true);
    EXPECT_EQ(RegReadDword(key, "Shuffle", 0), 1u);

    // Without the position (maximised or full screen) Left and Top stay as stored.
    back.Left = 300;
    back.Top = 400;
    back.InitialDir.clear();
    SaveMainSettings(back, false);
    EXPECT_EQ(static_cast<int>(RegReadDword(key, "Left", 0)), -5);
    EXPECT_EQ(RegReadDword(key, "Top", 0), 100u);
    QString dir;
    RegReadString(key, "InitialDir", &dir, 260);
    EXPECT_EQ(dir, s.InitialDir);
    RegCloseKey(key);
}

TEST(MainSettings, SaveWritesNothingWithoutTheKey)
{
    IsolatedHome home;
    SaveMainSettings(TMainSettings(), true);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMainKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST(MainSettings, ExtensionList)
{
    IsolatedHome home;
    const QString def = QString::fromLatin1(kDefaultExtensionList);
    EXPECT_EQ(def.count(';'), 32);
    EXPECT_TRUE(def.startsWith("*.asf;") && def.endsWith(";*.wpl"));
    EXPECT_EQ(ReadExtensionListValue(), def);   // no key

    HKEY key = CreateMain();
    RegWriteString(key, "Extension", "");
    EXPECT_EQ(ReadExtensionListValue(), def);
    SetRaw(key, "Extension", REG_SZ, "*");   // one byte, no zero
    EXPECT_EQ(ReadExtensionListValue(), def);
    RegWriteString(key, "Extension", "*.avi;*.mkv;");
    EXPECT_EQ(ReadExtensionListValue(), "*.avi;*.mkv;");
    RegCloseKey(key);
}

TEST(RegistryHelpers, StringsAreBoundedAndTyped)
{
    IsolatedHome home;
    HKEY key = CreateMain();
    QString text = "stale";
    EXPECT_EQ(RegReadString(key, "Missing", &text, 100), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(text.isEmpty());

    ASSERT_TRUE(RegWriteString(key, "Name", "日本語"));
    DWORD size = 0, type = 0;
    ASSERT_EQ(RegQueryValueEx(key, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 10u);   // nine UTF-8 bytes and the zero
    EXPECT_EQ(RegReadString(key, "Name", &text, 10), ERROR_SUCCESS);
    EXPECT_EQ(text, QString("日本語"));
    text = "stale";
    EXPECT_EQ(RegReadString(key, "Name", &text, 9), ERROR_MORE_DATA);
    EXPECT_TRUE(text.isEmpty());

    RegWriteDword(key, "Number", 5);
    text = "stale";
    RegReadString(key, "Number", &text, 100);
    EXPECT_TRUE(text.isEmpty());

    // Stored without its zero, or with one in the middle: never past the data.
    SetRaw(key, "Raw", REG_SZ, "abc");
    EXPECT_EQ(RegReadString(key, "Raw", &text, 3), ERROR_SUCCESS);
    EXPECT_EQ(text, "abc");
    SetRaw(key, "Inner", REG_SZ, std::string("ab\0cd", 5));
    RegReadString(key, "Inner", &text, 0xFFFFFFFF);
    EXPECT_EQ(text, "ab");
    RegCloseKey(key);
}

TEST(RegistryHelpers, DwordsBoolsAndBinary16)
{
    IsolatedHome home;
    HKEY key = CreateMain();
    EXPECT_EQ(RegReadDword(key, "Missing", 42), 42u);
    EXPECT_TRUE(RegReadBool(key, "Missing", true));
    ASSERT_TRUE(RegWriteBool(key, "Flag", true));
    EXPECT_EQ(RegReadDword(key, "Flag", 9), 1u);
    RegWriteString(key, "Text", "1");
    EXPECT_FALSE(RegReadBool(key, "Text", false));

    const BYTE def[16] = {0xde, 0xfa, 0x01, 0x7c};
    BYTE id[16];
    for (int i = 0; i < 16; ++i) id[i] = static_cast<BYTE>(i * 3);
    ASSERT_EQ(RegWriteBinary16(key, "Clsid", id), S_OK);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(key, "Clsid", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 16u);
    BYTE out[16] = {};
    EXPECT_EQ(RegReadBinary16(key, "Clsid", out, def), ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(out, id, 16), 0);

    EXPECT_EQ(RegReadBinary16(key, "Missing", out, def), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::memcmp(out, def, 16), 0);
    SetRaw(key, "Short", REG_BINARY, "abcd");   // fewer than 16 bytes: default, no stale bytes
    std::memset(out, 0x55, 16);
    RegReadBinary16(key, "Short", out, def);
    EXPECT_EQ(std::memcmp(out, def, 16), 0);
    SetRaw(key, "Long", REG_BINARY, std::string(17, 'x'));
    EXPECT_EQ(RegReadBinary16(key, "Long", out, def), ERROR_MORE_DATA);
    EXPECT_EQ(std::memcmp(out, def, 16), 0);
    SetRaw(key, "Sz", REG_SZ, std::string(15, 'x') + '\0');
    RegReadBinary16(key, "Sz", out, def);
    EXPECT_EQ(std::memcmp(out, def, 16), 0);
    RegCloseKey(key);

    // Writes on a deleted key fail.
    HKEY gone = CreateMain();
    HKEY zo = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kZoravelKey, 0, KEY_WRITE, &zo), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKey(zo, "Main"), ERROR_SUCCESS);
    EXPECT_FALSE(RegWriteDword(gone, "X", 1));
    EXPECT_EQ(RegWriteBinary16(gone, "X", id), E_FAIL);
    RegCloseKey(gone);
    RegCloseKey(zo);
}

}  // namespace

// Three windows read the settings, each changes one value and exits: each
// exit writes only what its window changed, so all three changes stay; a
// value missing from the store is written with what the window holds.
TEST(MainSettings, EachWindowsExitWritesOnlyWhatItChanged)
{
    IsolatedHome home;
    TMainSettings first;
    TMainSettingsRead firstRead;
    ASSERT_TRUE(LoadMainSettings(&first, &firstRead));
    SaveMainSettings(first, true, &firstRead);   // an empty store takes every value
    HKEY key = CreateMain();
    EXPECT_EQ(ValueNames(key).size(), 23u);   // all but the empty InitialDir
    RegDeleteValue(key, "AlwaysOnTop");
    RegWriteDword(key, "KeepSize", 5);   // odd: written back clean by any exit

    TMainSettings changed[3];
    TMainSettingsRead read[3];
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(LoadMainSettings(&changed[i], &read[i]));
    changed[0].Loop = true;
    changed[1].Shuffle = true;
    changed[2].ContinuousPlay = !read[2].values.ContinuousPlay;
    changed[2].Left = 77;
    changed[1].AlwaysOnTop = true;
    for (int i : {2, 0, 1}) SaveMainSettings(changed[i], true, &read[i]);

    TMainSettings back;
    ASSERT_TRUE(LoadMainSettings(&back));
    EXPECT_TRUE(back.Loop);
    EXPECT_TRUE(back.Shuffle);
    EXPECT_EQ(back.ContinuousPlay, !read[2].values.ContinuousPlay);
    EXPECT_EQ(back.Left, 77);
    EXPECT_TRUE(back.AlwaysOnTop);
    EXPECT_EQ(RegReadDword(key, "KeepSize", 0), 1u);
    // Written in their order: the one value missing went where the order puts it.
    EXPECT_EQ(ValueNames(key).back(), "AlwaysOnTop");
    RegCloseKey(key);
}
