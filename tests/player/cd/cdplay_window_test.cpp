// The audio-CD player in the main window, on a recording device: the title
// sources, what opening and closing a disc do to the window, the play range,
// the end of a track, the suppressed notices, the timer and the CD-TEXT
// languages. The drives are the fixture disc images, so the TOC and CD-TEXT
// are read as from a drive.
#include "FakeCddbServer.h"
#include "recording_device.h"
#include "window_test_util.h"
#include "zodlg_test_util.h"

#include "platform/dialogs/dialogs.h"
#include "player/units/Ccdplay.h"
#include "player/units/Ccdplayerini.h"
#include "player/units/Zodlg.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QTimer>

using namespace mwtest;

namespace {

class CdPlayWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        CCDPlay::SetDeviceFactory([this] { return std::make_unique<RecordingDevice>(&disc); });
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        CCDPlay::SetDeviceFactory({});
    }

    // Opens the disc image as the drive, its tracks `lengths` long.
    void OpenDisc(const QString& drive, std::vector<int> lengths)
    {
        disc.lengthsMs = std::move(lengths);
        if (!w) Open();
        w->SetViewerPath(drive);
        w->StartAudioCd();
    }
    QString Image(const char* name) const { return Fixture((QByteArray("cd/") + name).constData()); }
    QStringList Titles() const
    {
        QStringList titles;
        for (const TPlayListItem& item : w->PlayList().Items()) titles << item.Title;
        return titles;
    }
    QStringList Performers() const
    {
        QStringList performers;
        for (const TPlayListItem& item : w->PlayList().Items()) performers << item.Performer;
        return performers;
    }
    CCDPlay* Player() const { return w->CdPlayer(); }
    // Every notice the device posted has reached the window.
    void Deliver()
    {
        EXPECT_TRUE(testutil::WaitUntil([this] { return Taken(MM_MCINOTIFY) >= disc.posted; }));
    }
    // Window timer 16 fires: the suppression ends.
    void EndSuppression() { w->OnWindowTimer(kCdNotifyTimer); }
    // Plays a track as the window's commands do: the notice of the play it
    // ends is not a track's end.
    int PlayTrack(int track)
    {
        Player()->suppressNotify = true;
        const int result = Player()->PlayTrack(track);
        Deliver();
        return result;
    }
    // The running play ends at its stop and the window hears of it.
    void FinishPlay()
    {
        Deliver();
        EndSuppression();
        disc.Finish();
        Deliver();
    }
    QString LastCommand() const { return disc.log.isEmpty() ? QString() : disc.log.last(); }

    RecordingDevice::Disc disc;
};

TEST_F(CdPlayWindow, TitlesComeFromTheFirstSourceThatHasThem)
{
    MW_REQUIRE_FIXTURES();
    // CD-TEXT first.
    OpenDisc(Image("three.cue"), {3000, 4000, 2000});
    ASSERT_NE(Player(), nullptr);
    EXPECT_EQ(Titles(), (QStringList{"Tone 1", "Tone 2", "Tone 3"}));
    EXPECT_EQ(Performers(), (QStringList{"Player 1", "Player 2", "Player 3"}));
    EXPECT_EQ(ui()->LblTitle->text(), "Tone 1");
    EXPECT_EQ(ui()->LblArtist->text(), "Player 1    Image Disc");
    EXPECT_TRUE(ui()->miSaveToCDIni->isEnabled());
    w->CloseMedia();

    // A disc without CD-TEXT still has its identifier for the CD database;
    // cdplayer.ini names it, a "Various" artist splitting performer from title.
    CCDINI ini(Image("two.cue"));
    ASSERT_FALSE(ini.section.isEmpty());
    ini.artist = "Various";
    ini.title = "Mixed";
    ini.AddTitle("Alice / First / Part");
    ini.AddTitle(" / Second");
    ASSERT_EQ(ini.Write(), 1);
    SetMainDword("SerchCDIni", 1);
    OpenDisc(Image("two.cue"), {3000, 4000});
    EXPECT_NE(Player()->discId, 0u);
    EXPECT_FALSE(Player()->queryCommand.isEmpty());
    EXPECT_EQ(Titles(), (QStringList{"First / Part", "Second"}));
    EXPECT_EQ(Performers(), (QStringList{"Alice", ""}));
    EXPECT_EQ(ui()->LblArtist->text(), "Alice    Mixed");
    EXPECT_TRUE(ui()->miSaveToCDIni->isEnabled());
    w->CloseMedia();

    // An entry whose track count differs is not this disc's: "TRACK n".
    ini.AddTitle("Third");
    ASSERT_EQ(ini.Write(), 1);
    OpenDisc(Image("two.cue"), {3000, 4000});
    EXPECT_EQ(Titles(), (QStringList{"TRACK 1", "TRACK 2"}));
    EXPECT_FALSE(ui()->miSaveToCDIni->isEnabled());
    EXPECT_TRUE(ui()->LblTitle->text().isEmpty());
    w->CloseMedia();

    // With ReadCDText off the disc's CD-TEXT is not read.
    SetMainDword("ReadCDText", 0);
    SetMainDword("SerchCDIni", 0);
    OpenDisc(Image("three.cue"), {3000, 4000, 2000});
    EXPECT_EQ(Titles(), (QStringList{"TRACK 1", "TRACK 2", "TRACK 3"}));
    EXPECT_NE(Player()->discId, 0u);
}

TEST_F(CdPlayWindow, OpeningSetsTheCdModeAndClosingRestoresTheFileMode)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("Volume", 70);
    OpenDisc(Image("two.cue"), {3000, 4000});
    ASSERT_NE(Player(), nullptr);
    EXPECT_EQ(w->OpenDriveLetter(), Image("two.cue"));
    EXPECT_EQ(disc.log, (QStringList{"play 2000-"}));
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_TRUE(w->IsAudioOnly());
    EXPECT_TRUE(ui()->TBtnNextTrack->isEnabled());
    EXPECT_EQ(ui()->TBtnNextTrack->toolTip(), "次のトラック");
    EXPECT_EQ(ui()->TBtnPreviousTrack->toolTip(), "前のトラック");
    EXPECT_EQ(ui()->TBtnShowCombo->toolTip(), "トラックの選択");
    for (QWidget* control : {static_cast<QWidget*>(ui()->BtnStepFrame), static_cast<QWidget*>(ui()->BtnSkip),
                             static_cast<QWidget*>(ui()->TBtnFastforward), static_cast<QWidget*>(ui()->TBtnRewind)})
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_TRUE(ui()->miOnePlay->isVisible());
    EXPECT_TRUE(ui()->CDDB1->menuAction()->isVisible());
    EXPECT_FALSE(ui()->NContinuousPlay->isVisible());
    EXPECT_FALSE(ui()->NFullScreen->isVisible());
    EXPECT_EQ(ui()->TrackBarForSeek->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_EQ(ui()->TrackBarForSeek->maximum(), 30);
    EXPECT_EQ(ui()->taTime->text(), "0:00:03");
    // The volume bar shows and sets the disc's own volume; the files' stays.
    const int fileVolume = w->VolumeBarValue();
    EXPECT_EQ(fileVolume, 70);
    EXPECT_EQ(ui()->TrackBarVolume->value(), 100);
    ui()->TrackBarVolume->setValue(50);
    EXPECT_EQ(disc.volume, 50 * cdrom::kMaxVolume / 100);
    EXPECT_EQ(w->VolumeBarValue(), fileVolume);

    w->CloseMedia();
    EXPECT_EQ(ui()->TrackBarVolume->value(), fileVolume);
    EXPECT_EQ(Player(), nullptr);
    EXPECT_EQ(disc.log.mid(1), (QStringList{"stop", "close"}));
    EXPECT_TRUE(w->OpenDriveLetter().isEmpty());
    EXPECT_EQ(ui()->TBtnNextTrack->toolTip(), "次のファイル");
    EXPECT_EQ(ui()->TBtnShowCombo->toolTip(), "ファイルの選択");
    EXPECT_FALSE(ui()->miOnePlay->isVisible());
    EXPECT_FALSE(ui()->CDDB1->menuAction()->isVisible());
    EXPECT_TRUE(ui()->NContinuousPlay->isVisible());
    EXPECT_TRUE(ui()->NFullScreen->isVisible());
    EXPECT_FALSE(ui()->miSaveToCDIni->isEnabled());
    EXPECT_EQ(ui()->TrackBarForSeek->contextMenuPolicy(), Qt::CustomContextMenu);

    // One track: no next or previous; with shuffle on it plays as without.
    ui()->MShuffle->setChecked(true);
    disc.log.clear();
    OpenDisc(Image("one.cue"), {3000});
    ASSERT_NE(Player(), nullptr);
    EXPECT_FALSE(ui()->TBtnNextTrack->isEnabled());
    EXPECT_FALSE(ui()->TBtnPreviousTrack->isEnabled());
    EXPECT_EQ(disc.log, (QStringList{"play 2000-"}));
    EXPECT_EQ(w->PlayState(), psPlaying);
    w->CloseMedia();

    // A drive that does not open leaves the window empty.
    disc.failOpen = true;
    OpenDisc(Image("one.cue"), {3000});
    EXPECT_EQ(Player(), nullptr);
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(w->PlayState(), psNothing);
    EXPECT_TRUE(ui()->NContinuousPlay->isVisible());
}

TEST_F(CdPlayWindow, PlayRangeAndTheEndOfATrack)
{
    MW_REQUIRE_FIXTURES();
    OpenDisc(Image("three.cue"), {3000, 4000, 2000});
    ASSERT_NE(Player(), nullptr);
    // Without one-track play or shuffle a track plays on to the end of the disc.
    ASSERT_EQ(PlayTrack(2), 1);
    EXPECT_EQ(LastCommand(), "play 5000-");
    // One-track play: up to the next track's start; the last track to the end.
    ui()->miOnePlay->setChecked(true);
    ASSERT_EQ(PlayTrack(2), 1);
    EXPECT_EQ(LastCommand(), "play 5000-9000");
    EXPECT_EQ(w->ListIndex(), 1);
    ASSERT_EQ(PlayTrack(3), 1);
    EXPECT_EQ(LastCommand(), "play 9000-");
    // Resume from where the disc stands, by the same rule.
    ASSERT_EQ(PlayTrack(2), 1);
    disc.position = 6500;
    Player()->TogglePause();
    EXPECT_EQ(LastCommand(), "pause");
    EXPECT_EQ(w->PlayState(), psPaused);
    Player()->TogglePause();
    EXPECT_EQ(LastCommand(), "play 6500-9000");
    EXPECT_EQ(w->PlayState(), psPlaying);

    // One-track play with loop: the same track again.
    ui()->NLoop->setChecked(true);
    FinishPlay();
    EXPECT_EQ(LastCommand(), "play 5000-9000");
    // One-track play without loop: the disc stops.
    ui()->NLoop->setChecked(false);
    FinishPlay();
    EXPECT_EQ(LastCommand(), "stop");
    EXPECT_EQ(w->PlayState(), psStopped);

    // Without one-track play the end of the disc goes back to track 1 and
    // stops there; with loop it plays on.
    ui()->miOnePlay->setChecked(false);
    ASSERT_EQ(PlayTrack(3), 1);
    FinishPlay();
    EXPECT_EQ(disc.log.mid(disc.log.size() - 2), (QStringList{"play 2000-", "stop"}));
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(w->PlayState(), psStopped);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");
    ui()->NLoop->setChecked(true);
    ASSERT_EQ(PlayTrack(3), 1);
    FinishPlay();
    EXPECT_EQ(LastCommand(), "play 2000-");
    EXPECT_EQ(w->PlayState(), psPlaying);
    // A waiting power action ends the loop.
    ui()->TBPowerState->setChecked(true);
    ASSERT_EQ(PlayTrack(3), 1);
    FinishPlay();
    EXPECT_EQ(LastCommand(), "stop");
    ui()->TBPowerState->setChecked(false);
    ui()->NLoop->setChecked(false);

    // Shuffle: each track to the next one's start, then the next of the order.
    TPlayList::SeedRandom(7);
    ui()->MShuffle->setChecked(true);
    w->PlayList().BuildShuffleOrder();
    const std::vector<int> order = w->PlayList().ShuffleOrder();
    w->PlayList().SetListIndex(order[0]);
    ASSERT_EQ(PlayTrack(order[0] + 1), 1);
    FinishPlay();
    EXPECT_EQ(w->ListIndex(), order[1]);
    EXPECT_TRUE(LastCommand().startsWith(QStringLiteral("play %1-").arg(disc.Start(order[1] + 1))));
    EXPECT_EQ(w->PlayState(), psPlaying);
}

TEST_F(CdPlayWindow, SuppressedNoticesAndTheTimer)
{
    MW_REQUIRE_FIXTURES();
    OpenDisc(Image("three.cue"), {3000, 4000, 2000});
    ASSERT_NE(Player(), nullptr);
    // Just opened: the first notice is swallowed until timer 16 ends that.
    EXPECT_TRUE(Player()->suppressNotify);
    EXPECT_TRUE(w->IsTimerSet(kCdNotifyTimer));
    EndSuppression();
    EXPECT_FALSE(Player()->suppressNotify);
    EXPECT_FALSE(w->IsTimerSet(kCdNotifyTimer));

    // A pause ends the play: its aborted notice is no track's end.
    disc.position = 3500;
    Player()->TogglePause();
    Deliver();
    EXPECT_FALSE(Player()->suppressNotify);
    EXPECT_EQ(LastCommand(), "pause");
    EXPECT_EQ(w->PlayState(), psPaused);
    // Next track: the superseded play's notice is swallowed too.
    Player()->TogglePause();
    Deliver();
    EndSuppression();
    w->TBtnNextTrackClick();
    Deliver();
    EXPECT_EQ(LastCommand(), "play 5000-");
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_EQ(w->ListIndex(), 1);
    // Stop, then a second Stop closes the disc.
    w->BtnStopClick();
    Deliver();
    EXPECT_EQ(w->PlayState(), psStopped);
    EXPECT_EQ(LastCommand(), "stop");
    w->BtnStopClick();
    EXPECT_EQ(Player(), nullptr);

    // The timer shows the position inside the track and follows the disc
    // into the next one.
    OpenDisc(Image("three.cue"), {3000, 4000, 2000});
    disc.position = 3500;
    w->CDTimerTimer();
    EXPECT_EQ(ui()->TrackBarForSeek->value(), 15);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:01");
    disc.position = 6000;
    w->CDTimerTimer();
    EXPECT_EQ(w->ListIndex(), 1);
    EXPECT_EQ(ui()->LblTitle->text(), "Tone 2");
    EXPECT_EQ(ui()->taTime->text(), "0:00:04");
    EXPECT_EQ(ui()->TrackBarForSeek->maximum(), 40);
    // A click on the seek bar: the next tick plays from there.
    disc.log.clear();
    const QRect groove = SliderPart(ui()->TrackBarForSeek, QStyle::SC_SliderGroove);
    w->TrackBarForSeekEnter(groove.left() + groove.width() / 2);
    const int bar = ui()->TrackBarForSeek->value();
    EXPECT_NEAR(bar, 20, 3);
    EXPECT_TRUE(disc.log.isEmpty());
    w->CDTimerTimer();
    EXPECT_EQ(disc.log, (QStringList{QStringLiteral("play %1-").arg(5000 + bar * 100)}));
    EXPECT_TRUE(Player()->suppressNotify);
    EXPECT_FALSE(w->Item().SeekBarMoved);
}

TEST_F(CdPlayWindow, CdTextLanguages)
{
    MW_REQUIRE_FIXTURES();
    // A copy of the two-language image whose CD-TEXT can be taken away.
    for (const char* name : {"lang.cue", "lang.bin", "lang.cdt"})
        ASSERT_TRUE(QFile::copy(Image(name), Home(QString::fromLatin1(name))));
    OpenDisc(Home("lang.cue"), {3000, 4000, 2000});
    ASSERT_NE(Player(), nullptr);
    EXPECT_EQ(Titles(), (QStringList{"Morning", "Noon", "Night"}));
    QMenu* menu = Player()->LanguageMenu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> main = ui()->MainPopupMenu->actions();
    EXPECT_EQ(main.at(main.size() - 4), menu->menuAction());
    EXPECT_EQ(menu->menuAction()->property("Tag").toInt(), kCdTextMenuTag);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "英語");
    EXPECT_EQ(items[1]->text(), "日本語");
    EXPECT_TRUE(items[0]->isChecked());

    // Japanese while playing: the disc goes on where it was, full-width
    // letters and digits and half-width katakana mapped.
    EndSuppression();
    disc.position = 6500;
    w->CDTimerTimer();
    ASSERT_EQ(w->ListIndex(), 1);
    disc.log.clear();
    items[1]->trigger();
    EXPECT_EQ(disc.log, (QStringList{"stop", "play 6500-"}));
    EXPECT_EQ(w->ListIndex(), 1);
    EXPECT_EQ(ui()->LblTitle->text(), "昼");
    EXPECT_EQ(ui()->LblArtist->text(), "アーティスト    言語ディスク2026");
    EXPECT_EQ(Titles(), (QStringList{"朝のSONG1", "昼", "夜"}));
    EXPECT_EQ(Performers(), (QStringList{"花子", "", "ダイスケ"}));
    EXPECT_EQ(Player()->albumTitle, "言語ディスク2026");
    EXPECT_EQ(Player()->artist, "アーティスト");
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_FALSE(items[0]->isChecked());
    EXPECT_TRUE(w->CdTimerActive());
    // The menu is not added twice.
    items[0]->trigger();
    EXPECT_EQ(Titles(), (QStringList{"Morning", "Noon", "Night"}));
    EXPECT_EQ(menu->actions().size(), 2);

    // Paused, and the CD-TEXT gone: the switch fails, the titles stay, and
    // the disc is paused where it was.
    Player()->TogglePause();
    ASSERT_TRUE(QFile::remove(Home("lang.cdt")));
    disc.log.clear();
    items[1]->trigger();
    EXPECT_EQ(disc.log, (QStringList{"stop", "play 6500-", "pause"}));
    EXPECT_EQ(Titles(), (QStringList{"Morning", "Noon", "Night"}));
    EXPECT_EQ(Player()->artist, "Lang Artist");
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_FALSE(items[1]->isChecked());
    EXPECT_EQ(w->PlayState(), psPaused);

    // Without ConvertToHalf the Japanese block keeps its full-width forms;
    // the menu goes with the disc.
    w->CloseMedia();
    EXPECT_EQ(ui()->MainPopupMenu->actions().size(), main.size() - 1);
    ASSERT_TRUE(QFile::copy(Image("lang.cdt"), Home("lang.cdt")));
    SetMainDword("ConvertToHalf", 0);
    OpenDisc(Home("lang.cue"), {3000, 4000, 2000});
    Player()->LanguageMenu()->actions().at(1)->trigger();
    EXPECT_EQ(Titles(), (QStringList{"朝のＳＯＮＧ１", "昼", "夜"}));
    EXPECT_EQ(Performers().at(2), "ﾀﾞｲｽｹ");
}

class CdDatabaseLookUp : public CdPlayWindow {
protected:
    void SetUp() override
    {
        CdPlayWindow::SetUp();
        qputenv("ZODLG_TEST_LOG", Home("zodlg.log").toUtf8());
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            messages << call.caption + ":" + call.text;
            EXPECT_EQ(call.flags, MB_ICONINFORMATION | MB_TOPMOST);
            return IDOK;
        });
    }
    void TearDown() override
    {
        dialogs::SetMessageBoxAnswerer({});
        TZodlgLibrary::SetPathForTest({});
        for (const char* name : {"ZODLG_TEST_LOG", "ZODLG_TEST_RESULT", "ZODLG_TEST_ARTIST", "ZODLG_TEST_ALBUM",
                                 "ZODLG_TEST_TRACKS"})
            qunsetenv(name);
        CdPlayWindow::TearDown();
    }
    static void UseLibrary(const char* variant)
    {
        TZodlgLibrary::SetPathForTest(QStringLiteral(FAKE_ZODLG_DIR "/fakezodlg_%1/libzodlg.so").arg(variant));
    }
    QStringList Calls()
    {
        QStringList calls = QString::fromUtf8(testutil::ReadFile(Home("zodlg.log"))).split('\n', Qt::SkipEmptyParts);
        QFile::remove(Home("zodlg.log"));
        return calls;
    }
    // Looks the disc up and waits for the answer.
    void LookUp()
    {
        Player()->LookUpCdDatabase(2);
        Answered();
    }
    // Waits for the answer of the look-up running, if any.
    void Answered()
    {
        EXPECT_TRUE(testutil::WaitUntil([&] { return !Player() || !Player()->LookingUp(); }, 10000));
    }
    QStringList messages;
};

TEST_F(CdDatabaseLookUp, AnswersTitlesAndMessages)
{
    MW_REQUIRE_FIXTURES();
    // No library: nothing happens, nothing is said.
    UseLibrary("missing");
    OpenDisc(Image("two.cue"), {3000, 4000});
    ASSERT_NE(Player(), nullptr);
    LookUp();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Titles(), (QStringList{"TRACK 1", "TRACK 2"}));

    // A match: each text asked for its length, then into a buffer; the
    // "Various" split; the titles saved with CDIniAutoSave.
    UseLibrary("full");
    qputenv("ZODLG_TEST_ARTIST", "Various");
    qputenv("ZODLG_TEST_ALBUM", "Hits");
    qputenv("ZODLG_TEST_TRACKS", "Amy / Song A|Plain");
    Player()->iniAutoSave = true;
    w->miConnectCDDBClick();
    Answered();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Titles(), (QStringList{"Song A", "Plain"}));
    EXPECT_EQ(Performers(), (QStringList{"Amy", ""}));
    EXPECT_EQ(ui()->LblTitle->text(), "Song A");
    EXPECT_EQ(ui()->LblArtist->text(), "Amy    Hits");
    EXPECT_TRUE(ui()->miSaveToCDIni->isEnabled());
    const QStringList calls = Calls();
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls.first(),
              QStringLiteral("InitCDDB2 %1 %2").arg(Player()->discId, 8, 16, QLatin1Char('0')).arg(Player()->queryCommand));
    EXPECT_EQ(calls.mid(1), (QStringList{"GetAlbumArtist - null", "GetAlbumArtist - buffer", "GetAlbumTitle - null",
                                          "GetAlbumTitle - buffer", "GetTrackTitle 1 null", "GetTrackTitle 1 buffer",
                                          "GetTrackTitle 2 null", "GetTrackTitle 2 buffer"}));
    CCDINI saved(Image("two.cue"));
    ASSERT_EQ(saved.Read(), 2);
    EXPECT_EQ(saved.titles, (QStringList{"Amy / Song A", "Plain"}));
    EXPECT_EQ(saved.artist, "Various");

    // The failures, each with its message; a cancelled choice says nothing.
    struct Case {
        const char* result;
        const char* message;
    };
    for (const Case& c : {Case{"1", "情報:接続にに失敗しました。"}, Case{"202", "情報:一致するデータがありません。"},
                          Case{"2", nullptr}, Case{"5", "情報:データの取得に失敗しました。"}}) {
        messages.clear();
        qputenv("ZODLG_TEST_RESULT", c.result);
        LookUp();
        EXPECT_EQ(messages, c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList()) << c.result;
        EXPECT_EQ(Titles(), (QStringList{"Song A", "Plain"}));
    }
    qunsetenv("ZODLG_TEST_RESULT");
    Calls();

    // Without GetTrackTitle the disc's names come, its titles stay.
    UseLibrary("notracks");
    qputenv("ZODLG_TEST_ARTIST", "Band");
    messages.clear();
    LookUp();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Player()->artist, "Band");
    EXPECT_EQ(Titles(), (QStringList{"Song A", "Plain"}));
    // Without InitCDDB2 the look-up fails.
    UseLibrary("noinit");
    LookUp();
    EXPECT_EQ(messages, (QStringList{"情報:データの取得に失敗しました。"}));
    w->CloseMedia();

    // CDDBAutoConnect looks a disc without titles up as it opens.
    UseLibrary("full");
    qputenv("ZODLG_TEST_ARTIST", "Various");
    SetMainDword("CDDBAutoConnect", 1);
    OpenDisc(Image("two.cue"), {3000, 4000});
    Answered();
    EXPECT_EQ(Titles(), (QStringList{"Song A", "Plain"}));
    EXPECT_TRUE(ui()->miSaveToCDIni->isEnabled());
}

// The real library against a CD-database server on 127.0.0.1: a disc
// without CD-TEXT is titled as it opens and the titles are saved; the
// server's refusals reach the user as messages.
TEST_F(CdDatabaseLookUp, TheRealLibraryTitlesAnOpeningDisc)
{
    MW_REQUIRE_FIXTURES();
    TZodlgLibrary::SetPathForTest(QStringLiteral(ZODLG_PATH));
    FakeCddbServer server;
    UseServer(server.Port(), 1500);
    // The disc id is the image's own: the TOC decides it, not the test.
    OpenDisc(Image("two.cue"), {3000, 4000});
    Answered();
    ASSERT_NE(Player(), nullptr);
    const std::string id = QStringLiteral("%1").arg(Player()->discId, 8, 16, QLatin1Char('0')).toStdString();
    w->CloseMedia();
    ASSERT_TRUE(server.Requests().empty());

    SetMainDword("CDDBAutoConnect", 1);
    SetMainDword("CDIniAutoSave", 1);
    server.Answer(HttpReply("200 misc " + id + " Various / 夏の歌集\r\n"));
    server.Answer(HttpReply("210 misc " + id + " CD database entry follows (until terminating `.')\r\n"
                            "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\t375\r\n#\r\n"
                            "# Disc length: 9 seconds\r\n#\r\n# Submitted via: ExampleRipper 1.0\r\n#\r\n"
                            "DISCID=" + id + "\r\nDTITLE=Various / 夏の歌集\r\n"
                            "TTITLE0=Amy / 海の歌\r\nTTITLE1=Plain\r\nEXTD=\r\nEXTT0=\r\nEXTT1=\r\n.\r\n"));
    OpenDisc(Image("two.cue"), {3000, 4000});
    Answered();
    ASSERT_NE(Player(), nullptr);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(Titles(), (QStringList{"海の歌", "Plain"}));
    EXPECT_EQ(Performers(), (QStringList{"Amy", ""}));
    EXPECT_EQ(ui()->LblTitle->text(), "海の歌");
    EXPECT_EQ(ui()->LblArtist->text(), "Amy    夏の歌集");
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("cmd=" + Player()->queryCommand.toStdString() + "&"), std::string::npos) << requests[0];
    EXPECT_NE(requests[1].find("cmd=cddb+read+misc+" + id + "&"), std::string::npos) << requests[1];
    CCDINI saved(Image("two.cue"));
    ASSERT_EQ(saved.Read(), 2);
    EXPECT_EQ(saved.artist, "Various");
    EXPECT_EQ(saved.title, "夏の歌集");
    EXPECT_EQ(saved.titles, (QStringList{"Amy / 海の歌", "Plain"}));

    // An unknown disc, then a server that never answers: each says so and the titles stay.
    server.Answer(HttpReply("202 No match for disc ID " + id + ".\r\n"));
    w->miConnectCDDBClick();
    Answered();
    FakeReply silent;
    silent.silent = true;
    server.Answer(silent);
    w->miConnectCDDBClick();
    Answered();
    EXPECT_EQ(messages, (QStringList{"情報:一致するデータがありません。", "情報:データの取得に失敗しました。"}));
    EXPECT_EQ(Titles(), (QStringList{"海の歌", "Plain"}));
}

// A server that drips its reply a byte a second: the window keeps answering
// while it drips, the look-up ends at its time-out with the message, and
// Stop (or the disc's close) ends a look-up at once, saying nothing.
TEST_F(CdDatabaseLookUp, ADrippingServerLeavesTheWindowAnswering)
{
    MW_REQUIRE_FIXTURES();
    TZodlgLibrary::SetPathForTest(QStringLiteral(ZODLG_PATH));
    FakeCddbServer server;
    UseServer(server.Port(), 1500);
    FakeReply drip;
    for (char c : HttpReply("210 exact\r\nrock 00000001 A / B\r\n.\r\n")) drip.pieces.emplace_back(1, c);
    drip.pauseMs = 1000;
    OpenDisc(Image("two.cue"), {3000, 4000});
    ASSERT_NE(Player(), nullptr);

    server.Answer(drip);
    QElapsedTimer took;
    took.start();
    w->miConnectCDDBClick();
    EXPECT_LT(took.elapsed(), 1000);
    EXPECT_TRUE(Player()->LookingUp());
    bool answered = false;
    QTimer::singleShot(0, w.get(), [&] { answered = true; });
    EXPECT_TRUE(testutil::WaitUntil([&] { return answered; }));
    EXPECT_TRUE(Player()->LookingUp());
    Answered();
    EXPECT_GE(took.elapsed(), 1500);
    EXPECT_LT(took.elapsed(), 4000);
    EXPECT_EQ(messages, (QStringList{"情報:データの取得に失敗しました。"}));
    EXPECT_EQ(Titles(), (QStringList{"TRACK 1", "TRACK 2"}));

    // Stop ends it once the server has the request; no message follows.
    messages.clear();
    UseServer(server.Port(), 60000);
    server.Answer(drip);
    const std::size_t asked = server.Requests().size();
    w->miConnectCDDBClick();
    ASSERT_TRUE(testutil::WaitUntil([&] { return server.Requests().size() > asked; }, 10000));
    EXPECT_TRUE(Player()->LookingUp());
    w->BtnStopClick();
    EXPECT_FALSE(Player()->LookingUp());
    // The next look-up goes out at once: the cancelled one let the server go.
    server.Answer(HttpReply("202 No match for disc ID 00000001.\r\n"));
    w->miConnectCDDBClick();
    Answered();
    EXPECT_EQ(messages, (QStringList{"情報:一致するデータがありません。"}));
}

// A match whose read then fails is still an answer: nothing is said, an
// untitled disc keeps "TRACK n" and titles from CD-TEXT stay as they were.
TEST_F(CdDatabaseLookUp, AFailedReadSaysNothingAndKeepsTheTitles)
{
    MW_REQUIRE_FIXTURES();
    TZodlgLibrary::SetPathForTest(QStringLiteral(ZODLG_PATH));
    FakeCddbServer server;
    UseServer(server.Port(), 1500);
    const std::string match = HttpReply("200 misc 12345678 Band / Album\r\n");
    // The connection closes before the record's terminator.
    const std::string cut = HttpReply("210 misc 12345678 CD database entry follows\r\n# xmcd\r\nDTITLE=Ban");

    SetMainDword("CDDBAutoConnect", 1);
    server.Answer(match);
    server.Answer(cut);
    OpenDisc(Image("two.cue"), {3000, 4000});
    Answered();
    ASSERT_NE(Player(), nullptr);
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(Titles(), (QStringList{"TRACK 1", "TRACK 2"}));
    w->CloseMedia();

    OpenDisc(Image("three.cue"), {3000, 4000, 2000});
    Answered();
    server.Answer(match);
    server.Answer(HttpReply("401 misc 12345678 No such CD entry.\r\n"));
    w->miConnectCDDBClick();
    Answered();
    EXPECT_EQ(server.Requests().size(), 4u);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(Titles(), (QStringList{"Tone 1", "Tone 2", "Tone 3"}));
    EXPECT_EQ(Performers(), (QStringList{"Player 1", "Player 2", "Player 3"}));
    EXPECT_EQ(ui()->LblArtist->text(), "Player 1    Image Disc");
}

}  // namespace
