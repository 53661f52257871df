// The DVD graph's decisions: renderer values and their fallbacks, the
// automatic build and when it is used, E_INVALIDARG passed on unchanged, the
// viewer path kept as it is, the password rules, and the navigator's options
// and languages.
#include "fake_builder.h"
#include "common/scramble.h"
#include "support/test_util.h"
#include "common/Reghelp.h"

#include <gtest/gtest.h>

namespace {

TDvdBuildResult Build(const TDvdSettings& s, FakeDvdBuilder& b, const QString& path = "/media/Disc")
{
    return BuildDvdGraph(s, path, false, QString(), b);
}

TEST(DvdGraphBuild, RendererValuesAndTheirFallbacks)
{
    struct Case {
        DWORD renderer;
        bool windowed;
        bool opens;
        bool check;
        int used;
        int flipTag;
    } cases[] = {
        {0, false, true, true, 0, 0},   {1, false, true, true, 1, 7},  {2, false, true, true, 2, 9},
        {2, true, true, true, 2, 9},    {5, false, true, true, 0, 0},  {1, false, false, true, 0, 0},
        {2, false, false, true, 0, 0},  {1, false, false, false, 1, 7},
    };
    for (const Case& c : cases) {
        FakeDvdBuilder b;
        b.rendererOpens = c.opens;
        TDvdSettings s;
        s.Renderer = c.renderer;
        s.WindowedMode = c.windowed;
        s.CheckVMRSupport = c.check;
        const TDvdBuildResult r = Build(s, b);
        EXPECT_EQ(r.hr, S_OK) << c.renderer;
        EXPECT_FALSE(r.automatic);
        EXPECT_EQ(b.request.renderer, c.used) << c.renderer << " opens " << c.opens;
        EXPECT_EQ(b.request.windowed, c.used == 2 && c.windowed);
        EXPECT_EQ(r.flipTag, c.flipTag) << c.renderer;
    }
}

TEST(DvdGraphBuild, FallbacksToTheAutomaticBuild)
{
    {   // no ranked decoder: the automatic build cannot play either
        FakeDvdBuilder b;
        b.hasDecoder = false;
        const TDvdBuildResult r = Build(TDvdSettings(), b);
        EXPECT_EQ(r.hr, dvd::VFW_E_DVD_DECNOTENOUGH);
        EXPECT_FALSE(b.log.contains("BuildManual(0)"));
        EXPECT_FALSE(b.log.contains("BuildAutomatic"));
    }
    {   // a preferred decoder that is not there
        FakeDvdBuilder b;
        b.preferredFound = false;
        TDvdSettings s;
        s.VideoDecoder = "Some Decoder";
        const TDvdBuildResult r = Build(s, b);
        EXPECT_TRUE(r.automatic);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(b.log.first(), "AddPreferredDecoder(5,Some Decoder)");
    }
    {   // a failing manual build
        FakeDvdBuilder b;
        b.manualResult = E_FAIL;
        const TDvdBuildResult r = Build(TDvdSettings(), b);
        EXPECT_TRUE(r.automatic);
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_TRUE(b.log.contains("Release"));
    }
    {   // two video sinks: torn down
        FakeDvdBuilder b;
        b.videoSinks = 2;
        EXPECT_TRUE(Build(TDvdSettings(), b).automatic);
    }
    {   // no volume: E_INVALIDARG unchanged, never the automatic build
        FakeDvdBuilder b;
        b.manualResult = E_INVALIDARG;
        const TDvdBuildResult r = Build(TDvdSettings(), b);
        EXPECT_EQ(r.hr, E_INVALIDARG);
        EXPECT_FALSE(r.automatic);
        EXPECT_FALSE(b.log.contains("BuildAutomatic"));
    }
    {   // the automatic build chosen, with no volume at the path
        FakeDvdBuilder b;
        b.automaticResult = E_INVALIDARG;
        TDvdSettings s;
        s.AutoGraphBuild = true;
        const TDvdBuildResult r = Build(s, b);
        EXPECT_EQ(r.hr, E_INVALIDARG);
        EXPECT_TRUE(r.volumeUnknown);
        EXPECT_FALSE(b.log.contains("BuildManual(0)"));
    }
}

TEST(DvdGraphBuild, ViewerPathKeepsItsCaseAndLength)
{
    const QString longPath = "/media/" + QString(300, 'X') + "/My_DVD/VIDEO_TS";
    FakeDvdBuilder b;
    Build(TDvdSettings(), b, longPath);
    EXPECT_EQ(b.request.path, longPath);
    EXPECT_FALSE(b.log.contains("FindDvdVolume"));
    FakeDvdBuilder found;
    Build(TDvdSettings(), found, QString());
    EXPECT_EQ(found.request.path, "/media/Disc");
}

TEST(DvdGraphBuild, OptionsParentalLevelAndLanguages)
{
    FakeDvdBuilder b;
    TDvdSettings s;
    s.Audio = 6;        // Japanese
    s.Subpicture = 13;  // out of the table: no call
    s.Menu = 0;         // none
    s.AudioDuringFfRw = true;
    s.ParentalLevel = 4;   // without parental control: not set
    ASSERT_EQ(Build(s, b).hr, S_OK);
    ASSERT_NE(b.navigator, nullptr);
    EXPECT_EQ(b.navigator->calls, QStringList({"SetOption(1,0)", "SetOption(2,0)", "SetOption(3,1)", "SetOption(4,1)",
                                               "SelectDefaultAudioLanguage(1041)"}));
    FakeDvdBuilder p;
    s.UseParentalCtrl = 1;
    ASSERT_EQ(Build(s, p).hr, S_OK);
    EXPECT_TRUE(p.navigator->calls.contains("SetOption(2,1)"));
    EXPECT_TRUE(p.navigator->calls.contains("SelectParentalLevel(4)"));
}

void SetMain(const char* name, DWORD type, const QByteArray& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kMainKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
    RegCloseKey(key);
}
QByteArray Dword(DWORD v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }

TEST(DvdSettingsRead, PasswordOnlyWithParentalControlAndAtMost51Bytes)
{
    testutil::IsolatedHome home;
    EXPECT_EQ(ReadDvdSettings().Renderer, 0u);   // no key: defaults
    const QByteArray secret = QByteArray::fromStdString(ScrambledPassword("ひみつ123"));
    SetMain("ParentalLockPassword", REG_BINARY, secret);
    SetMain("UsePasswordToUnlock", REG_DWORD, Dword(1));
    SetMain("UseParentalCtrl", REG_DWORD, Dword(0));
    TDvdSettings s = ReadDvdSettings();
    EXPECT_FALSE(s.UsePasswordToUnlock) << "not read without parental control";
    EXPECT_TRUE(s.ParentalPassword.isEmpty());
    SetMain("UseParentalCtrl", REG_DWORD, Dword(1));
    s = ReadDvdSettings();
    EXPECT_TRUE(s.UsePasswordToUnlock);
    EXPECT_EQ(s.ParentalPassword, QString("ひみつ123"));

    SetMain("ParentalLockPassword", REG_BINARY, QByteArray::fromStdString(ScrambledPassword(std::string(51, 'a'))));
    EXPECT_EQ(ReadDvdSettings().ParentalPassword, QString(51, 'a'));
    SetMain("ParentalLockPassword", REG_BINARY, QByteArray::fromStdString(ScrambledPassword(std::string(52, 'a'))));
    EXPECT_TRUE(ReadDvdSettings().ParentalPassword.isEmpty());
    SetMain("ParentalLockPassword", REG_SZ, QByteArray("abc"));
    EXPECT_TRUE(ReadDvdSettings().ParentalPassword.isEmpty()) << "only a binary value counts";
}

}  // namespace
