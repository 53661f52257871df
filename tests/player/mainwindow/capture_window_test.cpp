// The capture window on a playing clip, driven through its own buttons: the
// frame it grabs, the simultaneous and the dialog's saves as BMP and JPEG,
// the clipboard, the correction and detail panels, the settings that outlive
// it, and every capture method with each renderer giving the same picture.
#include "player/tools/TCaptureDlg.h"
#include "player/units/PlaylistModel.h"
#include "window_test_util.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <cstdio>

using namespace mwtest;

namespace {

void SetCapture(const char* name, DWORD value)
{
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kCaptureKey, KEY_WRITE);
    ASSERT_TRUE(key);
    RegWriteDword(key.get(), name, value);
}

void SetCaptureString(const char* name, const QString& text)
{
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, kCaptureKey, KEY_WRITE);
    ASSERT_TRUE(key);
    RegWriteString(key.get(), name, text);
}

std::optional<DWORD> CaptureDword(const char* name)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kCaptureKey, KEY_READ);
    if (!key) return std::nullopt;
    constexpr DWORD kMissing = 0xDEADBEEF;
    const DWORD value = RegReadDword(key.get(), name, kMissing);
    return value == kMissing ? std::nullopt : std::optional<DWORD>(value);
}

class CaptureWindow : public WindowTest {
protected:
    TCaptureDlg* Capture() const { return qobject_cast<TCaptureDlg*>(w->CaptureWindow.data()); }
    template <typename T>
    T* Child(const char* name) const
    {
        return Capture()->findChild<T*>(QString::fromLatin1(name));
    }
    void Click(const char* button) { Child<QAbstractButton>(button)->click(); }

    // The clip plays, then rests paused so every grab sees one frame.
    void PlayAndPause(const char* fixture = "clip.avi")
    {
        const QString clip = Home(QStringLiteral("clip.avi"));
        ASSERT_TRUE(QFile::exists(clip) || Link(Fixture(fixture), clip));
        Open({clip});
        ASSERT_TRUE(WaitPlaying());
        w->TogglePlayPause();
        ASSERT_TRUE(testutil::WaitUntil([this] {
            return w->PlayState() != psPlaying && w->Graph()->State() == media::GraphState::Paused;
        }));
        // A frame still on its way when the pause took hold may be shown
        // after it; a paused seek leaves exactly the one frame it prerolls.
        REFERENCE_TIME second = 10000000;
        ASSERT_EQ(w->Graph()->SetPositions(&second, media::AM_SEEKING_AbsolutePositioning, nullptr,
                                           media::AM_SEEKING_NoPositioning),
                  S_OK);
        ASSERT_TRUE(testutil::WaitUntil(
            [this] { return !w->Graph()->IsSettling() && !w->Graph()->CurrentImage().isNull(); }));
    }
    void OpenCapture()
    {
        Tap(Qt::Key_F4);
        ASSERT_TRUE(Capture());
        Spin();
    }
    // Escape, as the user closes it; the main window lets it go.
    void CloseCapture()
    {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(Capture(), &escape);
        ASSERT_TRUE(testutil::WaitUntil([this] { return !w->CaptureWindow; }));
        Spin();
    }
    // What the main window shows now, as the capture keeps it.
    QImage Shown() const { return w->Graph()->PictureImage().convertToFormat(QImage::Format_BGR888); }
};

TEST_F(CaptureWindow, CaptureSaveCopyAndCorrect)
{
    MW_REQUIRE_FIXTURES();
    const QString pictures = Home(QStringLiteral("pics"));
    ASSERT_TRUE(MakeDir(pictures));
    SetCaptureString("CaptureFolder", pictures);
    SetCapture("SynchronousSave", 1);
    SetCapture("NumberPictures", 1);
    PlayAndPause();
    Tap(Qt::Key_F4);
    ASSERT_TRUE(Capture()) << "F4 opens the window";
    Spin();
    EXPECT_EQ(Capture()->windowTitle(), QStringLiteral("キャプチャ"));
    EXPECT_EQ(Capture()->size(), QSize(351, 207));

    // Each capture shows the frame and is written at once under the next number.
    Click("BtnCapture");
    const QImage picture = Capture()->CapturedPicture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(int(w->Graph() ? 320 : 0), 240));
    EXPECT_LT(testutil::ImageDifference(picture, Shown()), 2.0);
    EXPECT_FALSE(Child<QLabel>("CaptureImage")->pixmap().isNull());
    Click("BtnCapture");
    const QImage first(pictures + QStringLiteral("/clip(001).bmp"));
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(QFile::exists(pictures + QStringLiteral("/clip(002).bmp")));
    EXPECT_LT(testutil::ImageDifference(first.convertToFormat(QImage::Format_BGR888), picture), 1.0);

    // The save dialog: its type turns the name's extension, the JPEG keeps the colours.
    QString typedName;
    QTimer::singleShot(0, w.get(), [&] {
        ASSERT_TRUE(testutil::WaitUntil([&] { return Capture()->SaveDialog() && Capture()->SaveDialog()->isVisible(); }));
        QFileDialog* dialog = Capture()->SaveDialog();
        // As the user picks the second type from the list.
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        types->setCurrentIndex(1);
        emit types->activated(1);
        emit types->textActivated(types->itemText(1));
        typedName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        static_cast<QDialog*>(dialog)->accept();
    });
    Click("BtnSavePicture");
    EXPECT_EQ(typedName, QStringLiteral("clip.jpg"));
    const QImage jpeg(pictures + QStringLiteral("/clip(001).jpg"));
    ASSERT_FALSE(jpeg.isNull()) << QDir(pictures).entryList().join(QLatin1Char(' ')).toStdString();
    EXPECT_LT(testutil::ImageDifference(jpeg.convertToFormat(QImage::Format_BGR888), picture), 4.0);
    EXPECT_FALSE(w->DialogOpen());

    Click("BtnCopy");
    EXPECT_EQ(QApplication::clipboard()->image().size(), picture.size());

    // Corrections change the preview only; the panels grow as they open.
    Click("ChColor");
    EXPECT_EQ(Capture()->height(), 250);
    const QImage plainPreview = Child<QLabel>("CaptureImage")->pixmap().toImage();
    Child<QSlider>("TrackBar1")->setValue(60);
    EXPECT_GT(testutil::ImageDifference(Child<QLabel>("CaptureImage")->pixmap().toImage(), plainPreview), 20.0);
    EXPECT_EQ(Capture()->CapturedPicture(), picture);
    Click("CheckBox2");
    EXPECT_EQ(Capture()->height(), 290);
    EXPECT_TRUE(Child<QSlider>("TrackBar2")->isVisible());
    Click("CheckBox3");
    EXPECT_EQ(Capture()->width(), 461);
    EXPECT_TRUE(Child<QComboBox>("ComboBox1")->isEnabled());

    // A folder that is gone: the simultaneous save says so.
    CloseCapture();
    EXPECT_EQ(w->PlayState(), psPaused) << "closing leaves the clip where it was";
    EXPECT_EQ(CaptureDword("ColorAdjustment"), 1u);
    EXPECT_EQ(CaptureDword("RGBAdjustment"), 1u);
    EXPECT_EQ(CaptureDword("DetailOptions"), 1u);
    EXPECT_EQ(CaptureDword("Brightness"), 60u) << "the bar's move before RGB mode";
    SetCaptureString("CaptureFolder", Home(QStringLiteral("gone")));
    OpenCapture();
    EXPECT_EQ(Capture()->height(), 290) << "the settings came back";
    EXPECT_EQ(Child<QSlider>("TrackBar1")->value(), 0) << "the red value";
    Click("BtnCapture");
    EXPECT_FALSE(Capture()->CapturedPicture().isNull());
    EXPECT_EQ(ui()->TxtInfo->text(), QStringLiteral("保存できませんでした。"));

    // A sound-only file ignores the button.
    w->OpenFileActivated(Sound(QStringLiteral("tone.wav")));
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->IsAudioOnly() && w->PlayState() == psPlaying; }));
    ASSERT_TRUE(Capture());
    Click("BtnCapture");
    EXPECT_EQ(Capture()->windowTitle(), QStringLiteral("キャプチャ"));
}

// One table: every capture method with each renderer grabs the same picture
// of the paused clip. A method that reads another sink (3, 4) or the
// grabber's branch (2) builds the graph again with it where the clip stood,
// the window keeping its size; closing the capture window brings the plain
// graph back, still paused at the same place.
TEST_F(CaptureWindow, EveryMethodWithEachRenderer)
{
    MW_REQUIRE_FIXTURES();
    // The deinterlacer goes in only where method 3 builds its graph anew: a
    // progressive picture on the right sink already needs no rebuild.
    SetCapture("Deinterlace", 1);
    QImage reference;
    double worst[5] = {};
    for (DWORD renderer : {1u, 2u, 3u}) {
        SetMainDword("Renderer", renderer);
        PlayAndPause();
        // A size of the user's own, which a graph built for the media would change.
        w->resize(w->width() + 37, w->height() + 23);
        Spin();
        const QSize windowSize = w->size();
        for (DWORD method : {0u, 1u, 2u, 3u, 4u}) {
            SCOPED_TRACE(testing::Message() << "Renderer " << renderer << ", CaptureMethod " << method);
            SetCapture("CaptureMethod", method);
            OpenCapture();
            const int expected = method != 0 ? int(method) : renderer == 2 ? 3 : renderer == 3 ? 4 : 1;
            EXPECT_EQ(Capture()->CaptureMethodInUse(), expected);
            const int sink = expected == 3 ? 2 : expected == 4 ? 3 : int(renderer);
            const bool rebuilt = expected == 2 || sink != int(renderer);
            EXPECT_EQ(w->Graph()->VideoRendererValue(), sink);
            EXPECT_EQ(w->Graph()->HasCaptureBranch(), expected == 2);
            EXPECT_EQ(w->Graph()->Deinterlaces(), expected == 3 && rebuilt);
            EXPECT_FALSE(w->Graph()->IsVideoInterlaced());
            EXPECT_EQ(w->CaptureRebuiltGraph, rebuilt);
            EXPECT_EQ(w->size(), windowSize);
            // The flip items: none for the grabber, for the painted sink
            // when it was built to flip, for method 3 only with
            // UseVideoReversal (off here).
            EXPECT_EQ(ui()->MenuFlipVideo->menuAction()->isVisible(), expected == 4 && rebuilt);
            EXPECT_EQ(w->Graph()->CanFlip(), expected == 4 && rebuilt);
            // A rebuilt graph settles where the clip stood before the grab,
            // as the user sees it before pressing the button.
            ASSERT_TRUE(testutil::WaitUntil([&] {
                return !w->Graph()->IsSettling() && !w->Graph()->CurrentImage().isNull() &&
                       (expected != 2 || !w->Graph()->CaptureBranchImage().isNull());
            }));
            Click("BtnCapture");
            const QImage picture = Capture()->CapturedPicture();
            ASSERT_FALSE(picture.isNull());
            EXPECT_EQ(Capture()->windowTitle(), QStringLiteral("キャプチャ"));
            EXPECT_EQ(picture.size(), QSize(320, 240));
            EXPECT_EQ(picture.format(), QImage::Format_BGR888);
            if (reference.isNull()) reference = picture;
            // The GL sink converts the decoded frame to RGB on its own, with
            // rounding of its own (about 3.3 apart); every other picture is
            // converted alike. A neighbouring frame differs by far more
            // (about 14).
            const bool glConverted = expected != 2 && w->Graph()->ElementNames().contains("glimagesink");
            const double difference = testutil::ImageDifference(picture, reference);
            worst[expected] = std::max(worst[expected], difference);
            EXPECT_LT(difference, glConverted ? 4.0 : 1.0);
            EXPECT_EQ(w->PlayState(), psPaused) << "the renderer's method runs again only when playing";
            CloseCapture();
            EXPECT_EQ(w->Graph()->VideoRendererValue(), int(renderer));
            EXPECT_FALSE(w->Graph()->HasCaptureBranch());
            EXPECT_FALSE(w->Graph()->Deinterlaces());
            EXPECT_FALSE(w->CaptureRebuiltGraph);
            EXPECT_FALSE(ui()->MenuFlipVideo->menuAction()->isVisible());
            EXPECT_EQ(w->size(), windowSize);
            EXPECT_EQ(w->PlayState(), psPaused);
            REFERENCE_TIME at = 0;
            ASSERT_TRUE(testutil::WaitUntil([&] {
                return !w->Graph()->IsSettling() && SUCCEEDED(w->Graph()->GetCurrentPosition(&at)) && at > 0;
            }));
            EXPECT_NEAR(at / 1e7, 1.0, 0.1);
        }
        Close();
    }
    std::printf("largest mean difference by method: 1 %.2f, 2 %.2f, 3 %.2f, 4 %.2f\n", worst[1], worst[2], worst[3],
                worst[4]);
}

// The grabber's rebuild keeps the sound track the user chose and lets go of
// the A-B selection.
TEST_F(CaptureWindow, RebuildKeepsTheChosenSoundTrack)
{
    MW_REQUIRE_FIXTURES();
    SetCapture("CaptureMethod", 2);
    const QString clip = Home(QStringLiteral("twoaudio.mkv"));
    ASSERT_TRUE(Link(Fixture("twoaudio.mkv"), clip));
    Open({clip});
    ASSERT_TRUE(WaitPlaying());
    const QList<QAction*> tracks = ui()->miAudio->actions();
    ASSERT_EQ(tracks.size(), 2);
    tracks[1]->trigger();
    ASSERT_EQ(w->Graph()->CurrentAudioStream(), 1);
    ui()->TrackBarForSeek->setValue(ui()->TrackBarForSeek->maximum() / 4);
    w->SelTrackSClick();
    ui()->TrackBarForSeek->setValue(ui()->TrackBarForSeek->maximum() / 2);
    w->SelTrackEClick();
    ASSERT_TRUE(w->RepeatOn());
    OpenCapture();
    EXPECT_TRUE(w->Graph()->HasCaptureBranch());
    EXPECT_EQ(w->Graph()->CurrentAudioStream(), 1);
    const QList<QAction*> rebuiltTracks = ui()->miAudio->actions();
    ASSERT_EQ(rebuiltTracks.size(), 2);
    EXPECT_TRUE(rebuiltTracks[1]->isChecked());
    EXPECT_FALSE(w->RepeatOn()) << "the grabber's rebuild clears the selection";
    EXPECT_EQ(w->PlayState(), psPlaying);
    CloseCapture();
    EXPECT_EQ(w->Graph()->CurrentAudioStream(), 1);
    EXPECT_EQ(w->PlayState(), psPlaying);
}

// The grabber's graph is built while the clip plays: it plays on, the grab
// does not stop it, and closing the window brings the plain graph back, still
// playing.
TEST_F(CaptureWindow, GrabberRebuildKeepsAPlayingClipPlaying)
{
    MW_REQUIRE_FIXTURES();
    SetCapture("CaptureMethod", 2);
    const QString clip = Home(QStringLiteral("clip.avi"));
    ASSERT_TRUE(Link(Fixture("clip.avi"), clip));
    Open({clip});
    ASSERT_TRUE(WaitPlaying());
    OpenCapture();
    EXPECT_TRUE(w->CaptureRebuiltGraph);
    EXPECT_TRUE(w->Graph()->HasCaptureBranch());
    EXPECT_EQ(w->PlayState(), psPlaying);
    ASSERT_TRUE(testutil::WaitUntil([this] {
        return w->Graph()->State() == media::GraphState::Running && !w->Graph()->CaptureBranchImage().isNull();
    }));
    Click("BtnCapture");
    EXPECT_FALSE(Capture()->CapturedPicture().isNull());
    EXPECT_EQ(w->Graph()->State(), media::GraphState::Running);
    CloseCapture();
    EXPECT_FALSE(w->CaptureRebuiltGraph);
    EXPECT_FALSE(w->Graph()->HasCaptureBranch());
    EXPECT_EQ(w->PlayState(), psPlaying);
}

// Method 3 on the GL sink already drawing: an interlaced picture is built
// again with the deinterlacer only when `Deinterlace` asks for it.
TEST_F(CaptureWindow, InterlacedPictureIsWovenWhenDeinterlaceIsOn)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("Renderer", 2);
    SetCapture("CaptureMethod", 3);
    const QString film = Home(QStringLiteral("fields.m2p"));
    ASSERT_TRUE(Link(Fixture("interlaced.m2p"), film));
    for (DWORD deinterlace : {0u, 1u}) {
        SCOPED_TRACE(testing::Message() << "Deinterlace " << deinterlace);
        SetCapture("Deinterlace", deinterlace);
        Open({film});
        ASSERT_TRUE(WaitPlaying());
        EXPECT_TRUE(w->Graph()->IsVideoInterlaced());
        OpenCapture();
        EXPECT_EQ(w->CaptureRebuiltGraph, deinterlace == 1);
        EXPECT_EQ(w->Graph()->Deinterlaces(), deinterlace == 1);
        EXPECT_EQ(w->Graph()->VideoRendererValue(), 2);
        EXPECT_EQ(w->PlayState(), psPlaying);
        ASSERT_TRUE(testutil::WaitUntil([this] { return !w->Graph()->PictureImage().isNull(); }));
        Click("BtnCapture");
        EXPECT_EQ(Capture()->CapturedPicture().size(), QSize(720, 480));
        CloseCapture();
        EXPECT_FALSE(w->Graph()->Deinterlaces());
        EXPECT_EQ(w->PlayState(), psPlaying);
    }
}

// An MPEG file is decoded for capture by the capture decoder of its
// generation; the plain graph comes back with the usual decoder.
TEST_F(CaptureWindow, MpegFileDecodedByTheCaptureDecoder)
{
    MW_REQUIRE_FIXTURES();
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kFiltersKey, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             &key, &disposition),
              ERROR_SUCCESS);
    // Not the decoder the graph picks by itself (libav's ranks higher).
    const QByteArray id = media::FactoryClassId("mpeg2dec");
    ASSERT_EQ(RegWriteBinary16(key, "MPEG2CCLSID", reinterpret_cast<const BYTE*>(id.constData())), S_OK);
    RegCloseKey(key);
    SetCaptureString("MPEG2CapDecoder", QStringLiteral("capture decoder"));
    SetCapture("CaptureMethod", 1);
    const QString film = Home(QStringLiteral("film.m2p"));
    ASSERT_TRUE(Link(Fixture("mpeg2.m2p"), film));
    Open({film});
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(w->IsMpegFile());
    EXPECT_FALSE(w->Graph()->ElementNames().contains("mpeg2dec"));
    OpenCapture();
    EXPECT_TRUE(w->CaptureRebuiltGraph);
    EXPECT_TRUE(w->CaptureDecodersInGraph());
    EXPECT_TRUE(w->Graph()->ElementNames().contains("mpeg2dec"));
    EXPECT_EQ(w->PlayState(), psPlaying);
    ASSERT_TRUE(testutil::WaitUntil([this] { return !w->Graph()->PictureImage().isNull(); }));
    Click("BtnCapture");
    EXPECT_EQ(Capture()->CapturedPicture().size(), QSize(720, 480));
    CloseCapture();
    EXPECT_FALSE(w->Graph()->ElementNames().contains("mpeg2dec"));
    EXPECT_EQ(w->PlayState(), psPlaying);
}

// A RealMedia clip: the hidden black picture runs from the request to play
// until the clip is open, and the grab is the clip's frame at the size the
// panel shows it.
TEST_F(CaptureWindow, RealMediaClip)
{
    MW_REQUIRE_FIXTURES();
    PlayAndPause();
    OpenCapture();
    bool placeholderSeen = false;
    const QString clip = Home(QStringLiteral("clip.rm"));
    ASSERT_TRUE(Link(Fixture("clip.rm"), clip));
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { placeholderSeen |= Capture() && Capture()->PlaceholderRunning(); });
    watch.start(0);
    // The clip joins the list and plays, as the list editor has it played.
    w->AddPathOrPlayList(clip);
    w->SetListIndex(w->PlayList().Count() - 1);
    w->CloseMedia();
    w->PlayListItem(false, false);
    placeholderSeen |= Capture() && Capture()->PlaceholderRunning();
    ASSERT_TRUE(WaitPlaying());
    ASSERT_TRUE(testutil::WaitUntil([this] { return !w->RealMediaPicture().isNull(); }));
    watch.stop();
    EXPECT_TRUE(placeholderSeen);
    ASSERT_TRUE(Capture());
    EXPECT_TRUE(testutil::WaitUntil([this] { return !Capture()->PlaceholderRunning(); }))
        << "released once the clip opened";
    Click("BtnCapture");
    const QImage picture = Capture()->CapturedPicture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), w->VideoRect().size());
    EXPECT_GT(testutil::ColouredShare(picture), 0.5);

    // Opened while the clip rests paused, the window has the clip opened
    // again behind the black picture; it comes back paused, and the filter
    // items are hidden.
    CloseCapture();
    w->TogglePlayPause();
    ASSERT_TRUE(testutil::WaitUntil([this] { return w->PlayState() == psPaused; }));
    placeholderSeen = false;
    watch.start(0);
    OpenCapture();
    placeholderSeen |= Capture() && Capture()->PlaceholderRunning();
    ASSERT_TRUE(testutil::WaitUntil([this] {
        return Capture() && w->HasRealControl() && !w->RealMediaPicture().isNull() && !Capture()->PlaceholderRunning();
    }));
    watch.stop();
    EXPECT_TRUE(placeholderSeen);
    EXPECT_TRUE(testutil::WaitUntil([this] { return w->PlayState() == psPaused; }));
    EXPECT_FALSE(ui()->NShowFilter->isVisible());
    EXPECT_FALSE(ui()->NProperty->isVisible());
    Click("BtnCapture");
    EXPECT_EQ(Capture()->CapturedPicture().size(), w->VideoRect().size());
}

}  // namespace
