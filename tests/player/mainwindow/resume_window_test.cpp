// The last list and the resume point through the real window: a list
// stopped at its third entry comes back there after a restart, Stop's close
// keeps no position, the suspend query keeps the playing one, and Play with
// nothing loaded takes each branch of the loading.
#include "platform/paths/paths.h"
#include "platform/profile/profile.h"
#include "window_test_util.h"

#include <QFile>
#include <QTest>
#include <QToolButton>

using namespace mwtest;

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

class ResumeWindow : public WindowTest {
protected:
    // A silent sound file of `seconds` (8 kHz, 16-bit mono) in the home.
    QString Clip(const QString& name, int seconds = 60) const { return SilentClip(name, seconds * 1000); }
    double Seconds() const
    {
        REFERENCE_TIME p = -1;
        if (w->Graph()) w->Graph()->GetCurrentPosition(&p);
        return static_cast<double>(p) / kSecond;
    }
    bool WaitAt(double seconds, double tolerance)
    {
        return testutil::WaitUntil([&] { return std::abs(Seconds() - seconds) < tolerance; }, 10000);
    }
    QString ProfilePath() const { return GetListFilesFolder() + QStringLiteral("Resume.rsm"); }
    QString ListPath() const { return GetListFilesFolder() + QStringLiteral("LastList.zol"); }
    QString Value(const char* section, const char* key) const
    {
        return profile::ReadProfileString(ProfilePath(), section, key, QStringLiteral("(none)"));
    }
    void WriteResume(const QByteArray& profileText, const QStringList& list)
    {
        ASSERT_TRUE(testutil::WriteFile(ProfilePath(), profileText));
        ASSERT_TRUE(WritePlayListFile(ListPath(), list));
    }
    void PressPlay() { QTest::mouseClick(ui()->BtnStart, Qt::LeftButton); }
};

// As a user would: play a list, stop at its third entry at 0:00:42, close the
// player, start it again without arguments and press Play.
TEST_F(ResumeWindow, AListStoppedAtItsThirdEntryComesBackThereAfterARestart)
{
    SetMainDword("ResumePosition", 1);
    const QStringList clips = {Clip("1.wav"), Clip("2.wav"), Clip("3.wav")};
    Open(clips);
    ASSERT_TRUE(WaitPlaying());
    ASSERT_EQ(Paths(), clips);
    QTest::mouseClick(ui()->TBtnNextTrack, Qt::LeftButton);
    QTest::mouseClick(ui()->TBtnNextTrack, Qt::LeftButton);
    ASSERT_TRUE(WaitPlaying());
    ASSERT_EQ(w->ListIndex(), 2);
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(42 * kSecond)));
    ASSERT_TRUE(WaitAt(42, 0.5));
    QTest::mouseClick(ui()->BtnStop, Qt::LeftButton);
    ASSERT_EQ(w->PlayState(), psStopped);
    Close();
    EXPECT_EQ(Value("ResumeFile", "Index"), "2");
    EXPECT_NEAR(Value("ResumeFile", "Position").toInt(), 420, 5);
    EXPECT_EQ(QString::fromUtf8(testutil::ReadFile(ListPath())), clips.join('\n') + '\n');

    Open();
    EXPECT_TRUE(w->PlayList().IsEmpty());
    PressPlay();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(Paths(), clips);
    EXPECT_EQ(w->ListIndex(), 2);
    EXPECT_EQ(w->Item().Path, clips[2]);
    EXPECT_TRUE(WaitAt(42, 1.0)) << Seconds();

    // Stop twice closes: the list and its entry are kept, the position not.
    QTest::mouseClick(ui()->BtnStop, Qt::LeftButton);
    QTest::mouseClick(ui()->BtnStop, Qt::LeftButton);
    EXPECT_FALSE(w->Graph());
    EXPECT_EQ(Value("ResumeFile", "Index"), "2");
    EXPECT_EQ(Value("ResumeFile", "Position"), "0");
}

// The system's suspend query keeps the playing position and closes the media.
TEST_F(ResumeWindow, TheSuspendQueryKeepsThePlayingPosition)
{
    const QStringList clips = {Clip("a.wav"), Clip("b.wav")};
    Open(clips);
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(20 * kSecond)));
    ASSERT_TRUE(WaitAt(20, 0.5));
    w->SendMessage(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0);
    EXPECT_FALSE(w->Graph());
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(Value("ResumeFile", "Index"), "0");
    EXPECT_NEAR(Value("ResumeFile", "Position").toInt(), 200, 10);
    // Nothing open: the destruction saves nothing over it.
    Close();
    EXPECT_NEAR(Value("ResumeFile", "Position").toInt(), 200, 10);
}

// Play with nothing loaded, one case per branch of the loading.
TEST_F(ResumeWindow, PlayWithNothingLoadedTakesEachBranch)
{
    SetMainDword("ResumePosition", 1);
    const QStringList four = {Clip("1.wav", 20), Clip("2.wav", 20), Clip("3.wav", 20), Clip("4.wav", 20)};

    // An index past the list's end (and one below 0) resumes at the first entry.
    for (const char* index : {"10", "-3"}) {
        WriteResume(QByteArray("[ResumeFile]\nIndex=") + index + "\nPosition=50\n", four);
        Open();
        PressPlay();
        ASSERT_TRUE(WaitPlaying()) << index;
        EXPECT_EQ(w->ListIndex(), 0) << index;
        EXPECT_EQ(w->Item().Path, four[0]) << index;
        EXPECT_TRUE(WaitAt(5, 1.0)) << index;
        Close();
    }

    // A position beyond the entry's length opens it at its start.
    WriteResume("[ResumeFile]\nIndex=1\nPosition=250\n", four);
    Open();
    PressPlay();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(w->ListIndex(), 1);
    EXPECT_LT(Seconds(), 2.0);
    Close();

    // The current entry's file is gone (a specific file removed since): it
    // is in the list, nothing opens.
    SetMainDword("ResumeFile", 0);
    SetMainDword("OpenSpecificFile", 1);
    WriteResume("[SpecificFile]\nFileName=" + Home("gone.wav").toUtf8() + "\nPosition=50\n", four);
    Open();
    PressPlay();
    EXPECT_EQ(Paths(), QStringList{Home("gone.wav")});
    EXPECT_FALSE(w->Graph());
    Close();
    SetMainDword("ResumeFile", 1);
    SetMainDword("OpenSpecificFile", 0);

    // No list file, or no profile file: nothing happens.
    ASSERT_TRUE(QFile::remove(ListPath()));
    Open();
    PressPlay();
    EXPECT_TRUE(w->PlayList().IsEmpty());
    Close();
    WriteResume("[ResumeFile]\nIndex=0\n", four);
    ASSERT_TRUE(QFile::remove(ProfilePath()));
    Open();
    PressPlay();
    EXPECT_TRUE(w->PlayList().IsEmpty());
    Close();

    // Both settings off: Play toggles, nothing is loaded.
    WriteResume("[ResumeFile]\nIndex=0\n", four);
    SetMainDword("ResumeFile", 0);
    Open();
    PressPlay();
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_FALSE(w->Graph());
    Close();

    // The specific file alone: it plays from its own position; with another
    // file playing, neither file changes at Stop's close or the window's.
    SetMainDword("OpenSpecificFile", 1);
    WriteResume("[SpecificFile]\nFileName=" + four[2].toUtf8() + "\nIndex=0\nPosition=70\n", four);
    Open();
    PressPlay();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(Paths(), QStringList{four[2]});
    EXPECT_TRUE(WaitAt(7, 1.0)) << Seconds();
    Close();
    EXPECT_NEAR(Value("SpecificFile", "Position").toInt(), 70, 10);
    const QByteArray profileBefore = testutil::ReadFile(ProfilePath());
    const QByteArray listBefore = testutil::ReadFile(ListPath());
    Open({four[3]});
    ASSERT_TRUE(WaitPlaying());
    QTest::mouseClick(ui()->BtnStop, Qt::LeftButton);
    QTest::mouseClick(ui()->BtnStop, Qt::LeftButton);
    Open({four[3]});
    ASSERT_TRUE(WaitPlaying());
    Close();
    EXPECT_EQ(testutil::ReadFile(ProfilePath()), profileBefore);
    EXPECT_EQ(testutil::ReadFile(ListPath()), listBefore);

    // No FileName: the load ends before the list.
    SetMainDword("ResumeFile", 1);
    WriteResume("[ResumeFile]\nIndex=0\n", four);
    Open();
    PressPlay();
    EXPECT_TRUE(w->PlayList().IsEmpty());
}

}  // namespace
