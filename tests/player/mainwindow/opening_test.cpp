// Opening one media item: the kind flags from the first bytes, then from the
// extension; the file's DOS stamp; what cannot be played.
#include "platform/paths/paths.h"
#include "player/units/Opendialogex.h"
#include "window_test_util.h"

#include <QDateTime>
#include <QFile>

using namespace mwtest;

namespace {

struct Kind {
    bool mpeg = false, mp3 = false, windowsMedia = false, still = false, real = false;
};

Kind KindOf(const TZoMain* w)
{
    return {w->IsMpegFile(), w->IsMp3File(), w->IsWindowsMediaFile(), w->IsStillPicture(), w->IsRealMediaFile()};
}

void ExpectKind(const TZoMain* w, const Kind& want)
{
    const Kind got = KindOf(w);
    EXPECT_EQ(got.mpeg, want.mpeg) << "IsMpegFile";
    EXPECT_EQ(got.mp3, want.mp3) << "IsMp3File";
    EXPECT_EQ(got.windowsMedia, want.windowsMedia) << "IsWindowsMediaFile";
    EXPECT_EQ(got.still, want.still) << "StillPicture";
    EXPECT_EQ(got.real, want.real) << "RealMedia";
}

Kind Mpeg() { Kind k; k.mpeg = true; return k; }
Kind Mp3() { Kind k; k.mp3 = true; return k; }
Kind WindowsMedia() { Kind k; k.windowsMedia = true; return k; }
Kind Still() { Kind k; k.still = true; return k; }
Kind Real() { Kind k; k.real = true; return k; }

class Opening : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
    }
    // A copy of a fixture under another name.
    QString CopyAs(const char* fixture, const QString& name)
    {
        const QString path = Home(name);
        EXPECT_TRUE(QFile::copy(Fixture(fixture), path)) << name;
        return path;
    }
    // The path as the only entry of the list, opened.
    void Play(const QString& path)
    {
        w->CloseMedia();
        w->UpdateControlsForMedia(false);
        w->AddPathOrPlayList(path);
        w->PlayListItem(false, false);
    }
};

TEST_F(Opening, FirstBytesDecideWhateverTheExtension)
{
    Open();
    struct Case {
        const char* fixture;
        const char* name;
        Kind kind;
    } cases[] = {
        {"mpeg1.mpg", "pack.bin", Mpeg()},          // 00 00 01 BA
        {"video.m1v", "sequence.dat", Mpeg()},      // 00 00 01 B3
        {"clip.wmv", "asf.bin", WindowsMedia()},    // ASF header object
        {"picture.gif", "picture.dat", Still()},    // GIF
        {"plain.mp3", "frames.bin", Mp3()},         // FF FB
        {"tagged.mp3", "tagged.dat", Mp3()},        // "ID3" 03
        {"clip.rm", "real.bin", Real()},            // ".RMF"
        {"avi_as.mpg", "avi.mpg", Kind()},          // RIFF AVI: no flag, even as .mpg
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Play(CopyAs(c.fixture, c.name));
        ExpectKind(w.get(), c.kind);
        EXPECT_TRUE(WaitPlaying()) << Caption();
    }
}

TEST_F(Opening, RiffKindsAndHeadersThatDecideNothing)
{
    Open();
    // Video CD: RIFF with CDXA; RIFF with RMP3data is MP3. Both stop the checks.
    const QString vcd = CopyAs("mpeg1.mpg", "vcd.dat");
    w->AddPathOrPlayList(vcd);
    w->OpenByFileType(vcd, QByteArray("RIFF\x10\0\0\0CDXAfmt ", 16));
    ExpectKind(w.get(), Mpeg());
    EXPECT_TRUE(WaitPlaying());
    w->CloseMedia();

    const QString rmp3 = CopyAs("plain.mp3", "rmp3.mpg");
    w->OpenByFileType(rmp3, QByteArray("RIFF\x10\0\0\0RMP3data", 16));
    ExpectKind(w.get(), Mp3());
    EXPECT_TRUE(WaitPlaying());
    w->CloseMedia();

    // 00 00 00 20 is no MPEG start code: the extension decides (none here).
    w->OpenByFileType(Fixture("clip.avi"), QByteArray("\0\0\0\x20" "ftypisom\0\0\0\0", 16));
    ExpectKind(w.get(), Kind());
    EXPECT_TRUE(WaitPlaying());
}

TEST_F(Opening, ExtensionsDecideWhenTheBytesDoNot)
{
    Open();
    // "ID3" with version 4 is not taken by its bytes; ".mp3" makes it MP3.
    const QString v4 = Home("v4.mp3");
    ASSERT_TRUE(CopyWithHead(Fixture("tagged.mp3"), v4, QByteArray("ID3\x04", 4)));
    Play(v4);
    ExpectKind(w.get(), Mp3());
    EXPECT_TRUE(WaitPlaying()) << Caption();

    const QString v4other = Home("v4.snd");
    ASSERT_TRUE(CopyWithHead(Fixture("tagged.mp3"), v4other, QByteArray("ID3\x04", 4)));
    Play(v4other);
    ExpectKind(w.get(), Kind());

    const struct {
        const char* ext;
        const char* fixture;
        Kind kind;
    } byExtension[] = {{"mp3", "tone.wav", Mp3()},         {"mpg", "mpeg1.mpg", Mpeg()},
                       {"mpeg", "mpeg1.mpg", Mpeg()},      {"m2p", "mpeg2.m2p", Mpeg()},
                       {"m1v", "video.m1v", Mpeg()},       {"MPG", "mpeg1.mpg", Mpeg()},
                       {"wmv", "clip.wmv", WindowsMedia()}, {"asf", "clip.wmv", WindowsMedia()},
                       {"wma", "sound.wma", WindowsMedia()}, {"wm", "clip.wmv", WindowsMedia()},
                       {"rm", "clip.rm", Real()},          {"ra", "clip.rm", Real()},
                       {"rmvb", "clip.rm", Real()},        {"wav", "tone.wav", Kind()}};
    for (const auto& c : byExtension) {
        SCOPED_TRACE(c.ext);
        // The header handed over decides nothing; the name does.
        const QString path = CopyAs(c.fixture, QStringLiteral("byname.") + c.ext);
        w->CloseMedia();
        w->OpenByFileType(path, QByteArray(16, '\0'));
        ExpectKind(w.get(), c.kind);
        EXPECT_TRUE(WaitPlaying()) << Caption();
        w->CloseMedia();
        QFile::remove(path);
    }
}

TEST_F(Opening, RealMediaGoesToTheFileGraphWithUseRMDSF)
{
    const QString rm = Fixture("clip.rm");
    Open();
    Play(rm);
    EXPECT_TRUE(w->IsRealMediaFile());
    EXPECT_TRUE(WaitPlaying()) << Caption();
    Close();

    SetMainDword("UseRMDSF", 1);
    Open();
    Play(rm);
    EXPECT_FALSE(w->IsRealMediaFile());
    EXPECT_TRUE(WaitPlaying()) << Caption();
    w->CloseMedia();
    w->OpenByFileType(Home("none.rmvb"), QByteArray(16, '\0'));
    EXPECT_FALSE(w->IsRealMediaFile());
}

TEST_F(Opening, OpenedFileLeavesItsDosStampInTheTag)
{
    const QString path = CopyAs("tone.wav", "stamped.wav");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2021, 3, 4), QTime(5, 6, 8)), QFileDevice::FileModificationTime));
    }
    const int expected = static_cast<int>((((2021u - 1980u) << 9 | 3u << 5 | 4u) << 16) | (5u << 11 | 6u << 5 | 4u));
    Open();
    Play(path);
    EXPECT_EQ(w->FileStamp(), expected);
    EXPECT_EQ(w->FileStamp(), GetFileDosDateTime(path));

    // A file that cannot be read has none.
    w->CloseMedia();
    w->UpdateControlsForMedia(false);
    w->OpenFileActivated(Home("missing.wav"));
    EXPECT_EQ(w->FileStamp(), -1);
}

TEST_F(Opening, RandomBytesCannotBePlayed)
{
    Open();
    for (const char* name : {"random.bin", "random.mpg"}) {
        SCOPED_TRACE(name);
        Play(Fixture(name));
        EXPECT_EQ(Caption(), "Zoravel 再生できません");
        EXPECT_TRUE(w->PlayList().IsEmpty());
        EXPECT_EQ(w->Graph(), nullptr);
        EXPECT_EQ(w->PlayState(), psNothing);
        EXPECT_FALSE(w->Probe().IsGraphStarting());
        EXPECT_EQ(w->width(), 290);
        EXPECT_EQ(w->height(), 60);
    }
    // An empty file is judged by its extension and fails the same way.
    ASSERT_TRUE(testutil::WriteFile(Home("empty.mpg"), QByteArray()));
    Play(Home("empty.mpg"));
    EXPECT_EQ(Caption(), "Zoravel 再生できません");
}

TEST_F(Opening, ClosingWhileNothingPlaysChangesOnlyTheDisplay)
{
    Open();
    w->CloseMedia();
    EXPECT_EQ(w->PlayState(), psNothing);
    EXPECT_EQ(w->Graph(), nullptr);
    EXPECT_EQ(ui()->tnTime->text(), "0:00:00");
    EXPECT_EQ(ui()->STxtbai->text(), "1x");
    EXPECT_EQ(ui()->TrackBarForSeek->maximum(), 0);
    w->UpdateControlsForMedia(true);
    EXPECT_EQ(Caption(), "Zoravel");
    EXPECT_EQ(w->width(), 290);
    EXPECT_EQ(w->height(), 60);
}

// ---- the open command ----

class OpenCommand : public Opening {
protected:
    void TearDown() override
    {
        TOpenDialogEx::SetAnswerer(nullptr);
        Opening::TearDown();
    }
    // Answers the next dialog with `answer` and keeps what it was asked.
    void Answer(const TOpenDialogEx::Answer& answer)
    {
        TOpenDialogEx::SetAnswerer([this, answer](const TOpenDialogEx::Request& r) {
            asked = r;
            dialogOpenWhileAsked = w->DialogOpen();
            ++questions;
            return answer;
        });
    }
    TOpenDialogEx::Request asked;
    bool dialogOpenWhileAsked = false;
    int questions = 0;
};

TEST_F(OpenCommand, DialogOffersTheFileTypesAndStartsInTheLastFolder)
{
    SetMainDword("SerchFiles", 1);
    SetMainString("InitialDir", home->Path());
    Open();
    Answer({});
    w->BtnOpenClick();
    ASSERT_EQ(questions, 1);
    EXPECT_TRUE(dialogOpenWhileAsked);
    EXPECT_FALSE(w->DialogOpen());
    EXPECT_TRUE(asked.folderChecked);
    EXPECT_TRUE(asked.appendVisible);
    EXPECT_EQ(asked.initialDir, home->Path());
    const QStringList names = {"メディア ファイル",  "Windows Media ファイル", "ビデオ ファイル",
                               "オーディオ ファイル", "RealMedia ファイル",     "MIDI ファイル",
                               "イメージ ファイル",  "リスト ファイル",        "IFO ファイル",
                               "すべてのファイル"};
    ASSERT_EQ(asked.nameFilters.size(), names.size()) << asked.nameFilters;
    for (int i = 0; i < names.size(); ++i) EXPECT_TRUE(asked.nameFilters[i].startsWith(names[i] + " (")) << i;
    // The media types come from the displayed-file-types list (33 patterns
    // by default); the Windows Media entry offers "*.wm".
    const QString media = asked.nameFilters[0];
    const QString patterns = media.mid(media.indexOf('(') + 1).chopped(1);
    EXPECT_EQ(patterns.split(' ', Qt::SkipEmptyParts).size(), 33) << media;
    EXPECT_TRUE(asked.nameFilters[1].contains(TOpenDialogEx::CaseBlindPattern("*.wm"))) << asked.nameFilters[1];
    // Cancel changes nothing.
    EXPECT_TRUE(w->PlayList().IsEmpty());
    EXPECT_EQ(w->InitialDir(), home->Path());
}

TEST_F(OpenCommand, ChosenFileReplacesTheListAndBringsItsFolderWhenAsked)
{
    const QString old = Sound("old/old.wav");
    const QString a = Sound("pick/a.wav");
    const QString b = Sound("pick/b.wav");
    Open({old});
    ASSERT_TRUE(WaitPlaying());
    TOpenDialogEx::Answer answer;
    answer.accepted = true;
    answer.files = {b};
    answer.folderChecked = true;
    Answer(answer);
    w->BtnOpenClick();
    EXPECT_EQ(Paths(), QStringList({b, a}));
    EXPECT_EQ(w->InitialDir(), Home("pick"));
    EXPECT_TRUE(WaitPlaying());
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_FALSE(w->AddingItems());
}

TEST_F(OpenCommand, AppendedFilesJoinTheListAndThePlayingItemGoesOn)
{
    const QString a = Sound("app/a.wav");
    const QString b = Sound("app/b.wav");
    const QString c = Sound("app/c.wav");
    Open({a});
    ASSERT_TRUE(WaitPlaying());
    media::FilterGraph* playing = w->Graph();
    TOpenDialogEx::Answer answer;
    answer.accepted = true;
    answer.files = {b, c};
    answer.appendChecked = true;
    Answer(answer);
    w->BtnOpenClick();
    EXPECT_EQ(Paths(), QStringList({a, b, c}));
    EXPECT_EQ(w->Graph(), playing);
    EXPECT_EQ(w->ListIndex(), 0);
    // The caption has followed the list's new count.
    EXPECT_EQ(Caption(), "Zoravel 1/3 a");
    EXPECT_FALSE(w->Probe().AppendToList());
}

TEST_F(OpenCommand, IfoChoiceStartsTheDvdOfItsFolder)
{
    const QString ifo = Home("disc/VIDEO_TS/VIDEO_TS.IFO");
    ASSERT_TRUE(testutil::WriteFile(ifo, "DVDVIDEO-VMG"));
    Open();
    TOpenDialogEx::Answer answer;
    answer.accepted = true;
    answer.files = {ifo};
    Answer(answer);
    w->BtnOpenClick();
    // The DVD of that folder was started: the folder holds no DVD volume.
    EXPECT_EQ(messageBoxes, QStringList{QString::fromUtf8("DVD エラー: DVD ボリュームが見つかりません。")});
    EXPECT_TRUE(w->ViewerPath().isEmpty());
    EXPECT_TRUE(w->PlayList().IsEmpty());
}

TEST_F(OpenCommand, StoredFileTypesDecideTheDialogAndTheFolderScans)
{
    SetMainString("Extension", "*.wav;*.gif");
    const QString a = Sound("types/a.wav");
    Sound("types/b.mp3");
    const QString c = Home("types/c.gif");
    ASSERT_TRUE(QFile::copy(Fixture("picture.gif"), c));
    Open();
    Answer({});
    w->BtnOpenClick();
    ASSERT_FALSE(asked.nameFilters.isEmpty());
    EXPECT_TRUE(asked.nameFilters[0].contains(TOpenDialogEx::CaseBlindPattern("*.wav")));
    EXPECT_FALSE(asked.nameFilters[0].contains(TOpenDialogEx::CaseBlindPattern("*.mp3")));

    Open({Home("types")});
    QStringList paths = Paths();
    paths.sort();
    EXPECT_EQ(paths, QStringList({a, c}));
}

}  // namespace
