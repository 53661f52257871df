// The capture window on a playing clip, driven through its own buttons: the
// frame it grabs, the simultaneous and the dialog's saves as BMP and JPEG,
// the clipboard, the correction and detail panels, the settings that outlive
// it, and every capture method with each renderer giving the same picture.
#include "player/tools/TCaptureDlg.h"
#include "window_test_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

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
    QImage Shown() const { return w->Graph()->CurrentImage().convertToFormat(QImage::Format_BGR888); }
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

// Every method, with each renderer, grabs the frame the main window shows.
TEST_F(CaptureWindow, EveryMethodWithEachRenderer)
{
    MW_REQUIRE_FIXTURES();
    for (DWORD renderer : {1u, 2u, 3u}) {
        SetMainDword("Renderer", renderer);
        PlayAndPause();
        const QImage shown = Shown();
        for (DWORD method : {0u, 1u, 2u, 3u, 4u}) {
            SetCapture("CaptureMethod", method);
            OpenCapture();
            const int expected = method != 0 ? int(method) : renderer == 2 ? 3 : renderer == 3 ? 4 : 1;
            EXPECT_EQ(Capture()->CaptureMethodInUse(), expected) << renderer << "/" << method;
            // The grabber's branch comes with a graph built again where the
            // clip stood; the grab waits, as the user would, for its frame.
            const bool branch = expected == 2;
            EXPECT_EQ(w->Graph()->HasCaptureBranch(), branch) << renderer << "/" << method;
            if (branch) {
                ASSERT_TRUE(testutil::WaitUntil([this] {
                    return !w->Graph()->IsSettling() && w->Graph()->CaptureBranchConnected() &&
                           !w->Graph()->CaptureBranchImage().isNull();
                }));
            }
            Click("BtnCapture");
            const QImage picture = Capture()->CapturedPicture();
            ASSERT_FALSE(picture.isNull()) << renderer << "/" << method;
            EXPECT_EQ(picture.size(), shown.size());
            // The branch converts the decoded frame itself, where a window
            // sink's own converter may round colours differently; a
            // neighbouring frame differs by far more (about 14).
            EXPECT_LT(testutil::ImageDifference(picture, shown), branch ? 5.0 : 2.0) << renderer << "/" << method;
            EXPECT_EQ(w->PlayState(), psPaused) << "the renderer's method runs again only when playing";
            CloseCapture();
            // Closed, the plain graph is back, paused where it was.
            EXPECT_FALSE(w->Graph()->HasCaptureBranch());
            EXPECT_EQ(w->PlayState(), psPaused);
            REFERENCE_TIME at = 0;
            ASSERT_TRUE(testutil::WaitUntil([&] {
                return !w->Graph()->IsSettling() && SUCCEEDED(w->Graph()->GetCurrentPosition(&at)) && at > 0;
            }));
            EXPECT_NEAR(at / 1e7, 1.0, 0.1) << renderer << "/" << method;
        }
        Close();
    }
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
    w->OpenFileActivated(clip);
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
}

}  // namespace
