// RealMedia in the main window: its handlers driven by a recording control
// (events raised by the test), and the real control on generated clips.
#include "platform/mixer/fake.h"
#include "platform/realmedia/realmedia.h"
#include "window_test_util.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QSlider>

using namespace mwtest;
using realmedia::TRealAudio;

namespace {

// Records the window's calls; the test raises its events.
class RecordingControl : public TRealAudio {
public:
    using TRealAudio::TRealAudio;
    bool SetSource(const QString& source) override
    {
        calls << QStringLiteral("SetSource");
        source_ = source;
        return true;
    }
    void DoPlay() override { calls << QStringLiteral("DoPlay"); state = 3; }
    void DoPause() override { calls << QStringLiteral("DoPause"); state = 4; }
    void DoStop() override { calls << QStringLiteral("DoStop"); state = 0; }
    int GetPlayState() const override { return state; }
    int GetPosition() const override { return position; }
    void SetPosition(int ms) override { calls << QStringLiteral("SetPosition %1").arg(ms); }
    int GetLength() const override { return length; }
    int GetClipWidth() const override { return width; }
    int GetClipHeight() const override { return height; }
    QString GetTitle() const override { return title; }

    QStringList calls;
    QString source_;
    int state = 0, position = 0, length = 10000, width = 320, height = 240;
    QString title = QStringLiteral("Clip Title\x01");
};

class RealMediaWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    }
    // The window with recording controls in place of the real one.
    void OpenWithRecorder()
    {
        Open();
        w->RealControlFactory = [this](QWidget* owner, QWidget* parent) {
            control = new RecordingControl(owner, parent);
            ++made;
            return control;
        };
    }
    QString Clip(const QString& name)
    {
        const QString path = Home(name);
        EXPECT_TRUE(QFile::copy(Fixture("titled.rm"), path));
        return path;
    }
    void PlayList(const QStringList& paths)
    {
        w->CloseMedia();
        w->UpdateControlsForMedia(false);
        for (const QString& p : paths) w->AddPathOrPlayList(p);
        w->PlayListItem(false, false);
    }
    QSlider* Bar() const { return ui()->TrackBarForSeek; }

    RecordingControl* control = nullptr;
    int made = 0;
};

TEST_F(RealMediaWindow, HandlersFollowTheControlsEvents)
{
    OpenWithRecorder();
    const QString path = Clip(QStringLiteral("a.rm"));
    w->PendingRealStart = 12300;
    PlayList({path});
    ASSERT_TRUE(control);
    EXPECT_EQ(control->source_, path);
    EXPECT_EQ(control->Property(103).toString(), "_master");
    EXPECT_EQ(control->Property(104).toString(), "ImageWindow");
    EXPECT_TRUE(control->Property(106).toBool());
    EXPECT_EQ(control->ImageStatus(), 0);
    EXPECT_EQ(w->PlayState(), psPlaying);
    const QString caption = Caption();

    emit control->ClipOpened(QStringLiteral("a.rm"), path);
    EXPECT_EQ(Caption(), caption + " (Clip Title)");
    EXPECT_EQ(Bar()->maximum(), 100);
    EXPECT_EQ(ui()->taTime->text(), "0:00:10");
    EXPECT_EQ(w->RealDuration(), 10000);
    EXPECT_TRUE(w->RealMediaTimer()->isActive());
    EXPECT_EQ(control->calls.count(QStringLiteral("SetPosition 12300")), 1);
    EXPECT_EQ(w->PendingRealStart, 0);

    // A second open of the clip reads nothing again and adds no second title.
    control->length = 99999;
    control->calls.clear();
    emit control->ClipOpened(QStringLiteral("a.rm"), path);
    EXPECT_EQ(Caption(), caption + " (Clip Title)");
    EXPECT_EQ(Bar()->maximum(), 100);
    EXPECT_TRUE(control->calls.isEmpty()) << control->calls;
    // Shuffle refreshes the caption, title included, once.
    w->MShuffleClick();
    EXPECT_EQ(Caption().count(QStringLiteral("(Clip Title)")), 1) << Caption();
    EXPECT_TRUE(Caption().endsWith(" (Clip Title)")) << Caption();

    // Playing: the control shows; the position timer moves the bar and the time.
    control->state = 3;
    emit control->PlayStateChange(0, 3);
    EXPECT_TRUE(control->isVisible());
    EXPECT_TRUE(Bar()->isEnabled());
    control->position = 5000;
    w->RMTimerTimer();
    EXPECT_EQ(Bar()->value(), 50);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:05");

    // Pause and play go to the control.
    control->calls.clear();
    w->BtnStartClick();
    EXPECT_EQ(w->PlayState(), psPaused);
    w->BtnStartClick();
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_EQ(control->calls, (QStringList{"DoPause", "DoPlay"}));

    // A skip moves the control's position within the clip.
    control->calls.clear();
    w->SkipSeconds(30);
    w->SkipSeconds(-30);
    EXPECT_EQ(control->calls, (QStringList{"SetPosition 10000", "SetPosition 0"}));

    // A bar without range never divides by it.
    Bar()->setMaximum(0);
    w->RMTimerTimer();
    Bar()->setMaximum(100);

    // Stop rewinds the clip; a second stop closes it.
    control->calls.clear();
    w->BtnStopClick();
    EXPECT_EQ(w->PlayState(), psStopped);
    EXPECT_EQ(control->calls, (QStringList{"SetPosition 0", "DoPlay", "DoPause"}));
    w->BtnStopClick();
    Spin();
    EXPECT_FALSE(w->HasRealControl());
    EXPECT_FALSE(w->RealMediaTimer()->isActive());
}

TEST_F(RealMediaWindow, ClipEndsByLoopContinuousPlayOrEnd)
{
    OpenWithRecorder();
    const QString a = Clip(QStringLiteral("a.rm")), b = Clip(QStringLiteral("b.rm"));
    auto endClip = [this] {
        emit control->ClipOpened(QStringLiteral("x"), QString());
        emit control->ClipClosed();
        EXPECT_TRUE(w->IsTimerSet(kRealMediaEndTimer));
        ASSERT_TRUE(testutil::WaitUntil([this] { return !w->IsTimerSet(kRealMediaEndTimer); }));
    };

    // Loop with one entry: the clip plays again.
    ui()->NLoop->setChecked(true);
    PlayList({a});
    RecordingControl* first = control;
    endClip();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(first->calls.last(), "DoPlay");
    EXPECT_EQ(w->PlayState(), psPlaying);

    // Continuous play: the next entry follows.
    ui()->NLoop->setChecked(false);
    ui()->NContinuousPlay->setChecked(true);
    PlayList({a, b});
    endClip();
    EXPECT_EQ(control->source_, b);

    // Neither: the clip stops and the window shows the stopped state.
    ui()->NContinuousPlay->setChecked(false);
    PlayList({a});
    endClip();
    EXPECT_EQ(control->calls.last(), "DoStop");
    EXPECT_EQ(w->PlayState(), psStopped);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");

    // A section marked at A only runs to the clip's end, the clip starts
    // again and the position timer takes it back to A.
    PlayList({a});
    emit control->ClipOpened(QStringLiteral("x"), QString());
    control->position = 4000;
    w->RMTimerTimer();
    ui()->SelTrackS->trigger();
    ASSERT_TRUE(w->RepeatOn());
    const int madeBefore = made;
    emit control->ClipClosed();
    ASSERT_TRUE(testutil::WaitUntil([this] { return !w->IsTimerSet(kRealMediaEndTimer); }));
    EXPECT_EQ(made, madeBefore);
    EXPECT_EQ(control->calls.last(), "DoPlay");
    control->position = 0;
    w->RMTimerTimer();
    EXPECT_EQ(control->calls.last(), "SetPosition 4000");
    ui()->SelTrackC->trigger();

    // A clip that closes while paused does not move on.
    PlayList({a});
    w->BtnStartClick();
    emit control->ClipClosed();
    EXPECT_FALSE(w->IsTimerSet(kRealMediaEndTimer));
}

TEST_F(RealMediaWindow, SoundOnlyClipShrinksTheWindowAndFailuresMoveOn)
{
    OpenWithRecorder();
    w->resize(600, 500);
    PlayList({Clip(QStringLiteral("a.rm"))});
    control->width = control->height = 0;
    emit control->ClipOpened(QStringLiteral("a.rm"), QString());
    EXPECT_TRUE(w->IsAudioOnly());
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);
    control->state = 3;
    emit control->PlayStateChange(0, 3);
    EXPECT_FALSE(control->isVisible());

    // A source that fails before it opened is an entry that cannot play.
    PlayList({Clip(QStringLiteral("broken.rm"))});
    emit control->SourceError(E_FAIL, false);
    Spin();
    EXPECT_FALSE(w->HasRealControl());
    EXPECT_EQ(Caption(), "Zoravel 再生できません");
    EXPECT_NE(w->PlayState(), psPlaying);
}

TEST_F(RealMediaWindow, RealMediaAddressesGoToTheControlWhole)
{
    OpenWithRecorder();
    QString address = QStringLiteral("http://127.0.0.1:9/") + QString(300, QLatin1Char('a')) + QStringLiteral(".rm");
    w->OpenUrl(QStringLiteral("  ") + address + QStringLiteral("\r\nnext line"));
    ASSERT_TRUE(control);
    EXPECT_EQ(control->source_, address);
    EXPECT_TRUE(w->Item().UrlStream);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    emit control->ClipOpened(address, address);
    // A stream stops by closing its connection; a second stop closes it.
    control->calls.clear();
    w->BtnStopClick();
    EXPECT_EQ(control->calls, (QStringList{"DoStop"}));
    w->BtnStopClick();
    Spin();
    EXPECT_FALSE(w->HasRealControl());

    // Any other address joins the play list.
    w->OpenUrl(QStringLiteral("http://127.0.0.1:9/clip.ogg"));
    EXPECT_EQ(made, 1);
}

// The real control on generated clips, as a user drives them.
TEST_F(RealMediaWindow, RealClipPlaysStopsSeeksAndResumes)
{
    SetMainDword("ResumeFile", 1);
    SetMainDword("ResumePosition", 1);
    Open({Fixture("titled.rm")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(w->IsRealMediaFile());
    EXPECT_FALSE(w->Graph());
    EXPECT_TRUE(Caption().endsWith(" (RM Title)")) << Caption();
    EXPECT_EQ(Bar()->maximum(), 30);
    EXPECT_EQ(ui()->taTime->text(), "0:00:03");
    EXPECT_TRUE(testutil::WaitUntil([this] { return Bar()->value() > 0; }));

    // Paused, then closed by the window: the resume point is kept, and Play
    // after a restart opens the clip near it.
    w->BtnStartClick();
    ASSERT_EQ(w->PlayState(), psPaused);
    w->RealControl->SetPosition(2000);
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->RealControl->GetPosition() >= 1900; }));
    Close();
    Open();
    w->BtnStartClick();
    ASSERT_TRUE(WaitPlaying());
    EXPECT_GE(w->RealControl->GetPosition(), 1900);

    // A broken clip alone ends in the cannot-play caption.
    Open({Fixture("broken.rm")});
    EXPECT_TRUE(testutil::WaitUntil([this] { return Caption() == "Zoravel 再生できません"; }));
    EXPECT_FALSE(w->HasRealControl());

    // A sound-only clip: no picture, the small window.
    Open({Fixture("sound.rm")});
    ASSERT_TRUE(WaitPlaying());
    EXPECT_TRUE(w->IsAudioOnly());
    EXPECT_EQ(w->height(), 60);
    EXPECT_TRUE(Caption().endsWith(" (Sound Title)")) << Caption();
}

// A clip as a user marks it: an A-B section that loops on the control, a
// saved section and a bookmark that come back when the clip opens again,
// and the sound card's wave line that follows the volume bar.
TEST_F(RealMediaWindow, RealClipLoopsItsSectionKeepsBookmarksAndTurnsTheWaveLine)
{
    Open();
    const QString path = Clip(QStringLiteral("marked.rm"));
    std::shared_ptr<MixerWrites> writes;
    UseRecordedMixer(writes);
    w->MutableSettings().VolumeAuto = true;
    w->MutableSettings().ResetAudioMixer = true;
    ui()->TrackBarVolume->setValue(60);
    PlayList({path});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(w->HasRealControl());
    ASSERT_TRUE(writes);
    EXPECT_EQ(*writes, (MixerWrites{{"PCM", 60 * 65535 / 100}}));
    ui()->TrackBarVolume->setValue(30);
    EXPECT_EQ(writes->back(), (std::pair<std::string, long>{"PCM", 30 * 65535 / 100}));
    ASSERT_TRUE(testutil::WaitUntil([this] { return ui()->MiBookMrk->menuAction()->isVisible(); }));
    EXPECT_TRUE(ui()->miSaveAB->menuAction()->isVisible());

    // A near 0.5 s and B near 2 s of the 3 s clip, with Home and End.
    auto position = [this] { return w->HasRealControl() ? w->RealControl->GetPosition() : -1; };
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() >= 5; }, 10000));
    Tap(Qt::Key_Home);
    ASSERT_TRUE(w->RepeatOn());
    const int a = w->SectionState().SelStart;
    ASSERT_TRUE(testutil::WaitUntil([&] { return Bar()->value() >= 20; }, 10000));
    Tap(Qt::Key_End);
    const int b = w->SectionState().SelEnd;
    ASSERT_GT(b, a);

    // It loops back to A twice and never plays on to the clip's end.
    int highest = 0, wraps = 0, last = position();
    ASSERT_TRUE(testutil::WaitUntil(
        [&] {
            const int now = position();
            highest = std::max(highest, now);
            if (now < last - 800) {
                ++wraps;
                EXPECT_LT(now, a * 100 + 600);
            }
            last = now;
            return wraps >= 2;
        },
        15000));
    EXPECT_LT(highest, b * 100 + 700);
    EXPECT_EQ(w->PlayState(), psPlaying);

    // Saved as a section of the clip's tenths, then cleared; a bookmark.
    ASSERT_TRUE(ui()->miSavePoints->isEnabled());
    ui()->miSavePoints->trigger();
    ASSERT_EQ(ui()->miSaveAB->actions().size(), 5);
    const QString section = ui()->miSaveAB->actions()[3]->text();
    EXPECT_EQ(ui()->miSaveAB->actions()[3]->property("Tag").toLongLong(), a * 10);
    ui()->SelTrackC->trigger();
    EXPECT_FALSE(w->RepeatOn());
    ASSERT_TRUE(testutil::WaitUntil([&] { return position() >= 1000 && position() < 1500; }, 10000));
    Tap(Qt::Key_B, Qt::ControlModifier);
    ASSERT_EQ(ui()->MiBookMrk->actions().size(), 4);
    const qlonglong mark = ui()->MiBookMrk->actions()[3]->property("Tag").toLongLong();
    EXPECT_GE(mark, 100);
    EXPECT_LT(mark, 160);

    // Closing puts the wave line back where it was.
    w->CloseMedia();
    EXPECT_EQ(writes->back(), (std::pair<std::string, long>{"PCM", 30000}));
    EXPECT_FALSE(ui()->MiBookMrk->menuAction()->isVisible());

    // Opened again: both come back, and the bookmark seeks the control.
    PlayList({path});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(testutil::WaitUntil([this] { return ui()->MiBookMrk->actions().size() == 4; }));
    EXPECT_EQ(ui()->miSaveAB->actions().size(), 5);
    EXPECT_EQ(ui()->miSaveAB->actions()[3]->text(), section);
    ASSERT_TRUE(testutil::WaitUntil([&] { return position() >= 2000; }, 10000));
    ui()->MiBookMrk->actions()[3]->trigger();
    EXPECT_TRUE(testutil::WaitUntil([&] { return position() >= mark * 10 && position() < mark * 10 + 600; }));

    // The stored section plays as a loop from its start.
    ui()->miSaveAB->actions()[3]->trigger();
    EXPECT_TRUE(w->RepeatOn());
    EXPECT_TRUE(testutil::WaitUntil([&] { return position() >= a * 100 && position() < a * 100 + 600; }));
}

}  // namespace
