// Made discs through the real layer, driven as a user drives the window:
// Next Chapter just before a chapter mark, a damaged disc, Next Chapter while
// paused, the skip button's clicks, and a title above the parental level.
#include "common/scramble.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dvd/player.h"
#include "platform/storage/storage.h"
#include "player/DlgPassword.h"
#include "player/units/Imagelist.h"
#include "window_test_util.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace mwtest;

namespace {

class DvdDiscs : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
    }
    // Starts a fixture disc in a shown window and waits for its title to play.
    bool Start(const char* disc)
    {
        Open();
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) return false;
        w->SetViewerPath(Fixture(disc) + "/VIDEO_TS");
        w->StartDvd();
        return w->DvdControl() != nullptr;
    }
    // The time of the picture on the screen, in seconds; -1 outside a title.
    double Shown() const
    {
        dvd::Navigator* navigator = w->DvdControl();
        dvd::Location at;
        if (!navigator || navigator->GetCurrentLocation(&at) != S_OK) return -1;
        return at.time.TotalSeconds() + at.time.frames / 30.0;
    }
    bool WaitShown(double from, double below, int timeoutMs = 15000)
    {
        return testutil::WaitUntil([&] { return Shown() >= from && Shown() < below; }, timeoutMs);
    }
    void Click(QToolButton* button, Qt::MouseButton which = Qt::LeftButton) { QTest::mouseClick(button, which); }
};

// The parental password as the options store it; empty: none.
void StorePassword(const std::string& text)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kMainKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string stored = text.empty() ? std::string(1, '\0') : ScrambledPassword(text);
    RegSetValueEx(key, "ParentalLockPassword", 0, REG_BINARY, reinterpret_cast<const BYTE*>(stored.data()),
                  DWORD(stored.size()));
    RegCloseKey(key);
}

// Types `text` and Enter into each password window that shows.
class PasswordTyper {
public:
    explicit PasswordTyper(const QString& text)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, text] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<TDlgPassword*>(top);
                if (!dialog || !dialog->isVisible() || seen_.contains(dialog)) continue;
                seen_ << dialog;
                dialog->Edit1()->setText(text);
                QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(dialog->Edit1(), &enter);
            }
        });
        timer_.start(10);
    }
    int Asked() const { return int(seen_.size()); }

private:
    QTimer timer_;
    QList<QWidget*> seen_;
};

// Chapters at 0, 8 and 16 s. The disc is read up to a second and a half
// ahead of the picture; the chapter shown and stepped from is the picture's.
TEST_F(DvdDiscs, NextChapterJustBeforeAMarkGoesToTheNextChapter)
{
    MW_REQUIRE_FIXTURES();
    ASSERT_TRUE(Start("dvd_chapters")) << messageBoxes;
    ASSERT_TRUE(WaitShown(7.0, 7.6)) << Shown();
    EXPECT_EQ(w->ListIndex(), 0) << "chapter 2 reported at " << Shown() << " s";
    Tap(Qt::Key_PageDown);
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->ListIndex() != 0; }, 5000));
    EXPECT_EQ(w->ListIndex(), 1);
    EXPECT_TRUE(WaitShown(8.0, 15.0, 5000)) << Shown();
    EXPECT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
}

// Paused, Next Chapter plays on from the new chapter, and the Start button
// shows it plays.
TEST_F(DvdDiscs, NextChapterWhilePausedPlaysTheNextChapter)
{
    MW_REQUIRE_FIXTURES();
    ASSERT_TRUE(Start("dvd_chapters")) << messageBoxes;
    ASSERT_TRUE(WaitShown(1.0, 7.0));
    Click(ui()->BtnStart);
    ASSERT_EQ(w->PlayState(), psPaused);
    Tap(Qt::Key_PageDown);
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Pause);
    // A second past the chapter's start only when the disc really plays.
    EXPECT_TRUE(WaitShown(9.0, 16.0, 8000)) << Shown();
}

// The skip button's left click jumps SkipLength ahead and plays; its right
// click jumps back.
TEST_F(DvdDiscs, SkipButtonClicksJumpBySkipLengthAndPlay)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("SkipLength", 6);
    ASSERT_TRUE(Start("dvd_chapters")) << messageBoxes;
    ASSERT_TRUE(WaitShown(2.0, 5.0));
    Click(ui()->BtnStart);
    ASSERT_EQ(w->PlayState(), psPaused);
    const double before = Shown();
    Click(ui()->BtnSkip);
    // Six seconds on at once: faster than playing there.
    EXPECT_TRUE(WaitShown(before + 5.0, before + 8.0, 3000)) << before << " -> " << Shown();
    EXPECT_EQ(w->PlayState(), psPlaying);
    EXPECT_EQ(ButtonImageIndex(ui()->BtnStart), StartImage::Pause);
    const double later = Shown();
    Click(ui()->BtnSkip, Qt::RightButton);
    EXPECT_TRUE(WaitShown(0, later - 3.0, 3000)) << later << " -> " << Shown();
    EXPECT_EQ(ButtonImageIndex(ui()->BtnSkip), ToolImage::SkipForward);
}

// A disc that cannot be read, and is not scrambled, is a read failure and
// no copy protection's.
TEST_F(DvdDiscs, ADamagedDiscSaysItCannotBeRead)
{
    MW_REQUIRE_FIXTURES();
    ASSERT_TRUE(Start("dvd_damaged")) << messageBoxes;
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->DvdControl() == nullptr; }, 30000));
    EXPECT_EQ(messageBoxes, QStringList{QString::fromUtf8("警告: ファイルの読み取りに失敗しました。")});
}

// The disc's title set needs level 6 in Japan. At level 3 the password is
// asked: the right one plays the title, a wrong one or none ends the disc
// with the low-level error; at level 6 it plays without a question.
TEST_F(DvdDiscs, ATitleAboveTheParentalLevelPlaysOnlyWithThePassword)
{
    MW_REQUIRE_FIXTURES();
    const QString lowLevel = QString::fromUtf8(
        "DVD エラー: プレーヤーのペアレンタルレベルがこのディスクで利用可能\nな最低ペアレンタルロックレベルより低く"
        "設定されています。");
    SetMainDword("UseParentalCtrl", 1);
    SetMainDword("DVDPCCountry", 0);
    SetMainDword("UsePasswordToUnlock", 1);
    SetMainDword("DVDResumeEnable", 0);   // each case starts the disc afresh
    struct Case {
        int level;
        const char* stored;
        const char* typed;
        int asked;
        bool plays;
    } cases[] = {{3, "secret", "secret", 1, true}, {3, "secret", "wrong", 1, false}, {3, "", "", 0, false},
                 {6, "secret", "", 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("level ") + std::to_string(c.level) + " typed " + c.typed);
        SetMainDword("ParentalLevel", DWORD(c.level));
        StorePassword(c.stored);
        messageBoxes.clear();
        PasswordTyper typer(QString::fromUtf8(c.typed));
        ASSERT_TRUE(Start("dvd_parental")) << messageBoxes;
        if (c.plays) {
            EXPECT_TRUE(WaitShown(2.0, 10.0)) << Shown();
            EXPECT_TRUE(messageBoxes.isEmpty()) << messageBoxes;
        } else {
            EXPECT_TRUE(testutil::WaitUntil([&] { return w->DvdControl() == nullptr; }, 10000));
            EXPECT_EQ(messageBoxes, QStringList{lowLevel});
        }
        EXPECT_EQ(typer.Asked(), c.asked);
        Close();
    }
}

// The menu in English is red, in Japanese blue: DVDMenu chooses which shows,
// and the user's own language list is left as it was.
TEST_F(DvdDiscs, TheMenuShowsInTheLanguageChosen)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    const QByteArray languages = qgetenv("LANGUAGE");
    for (auto [index, red] : {std::pair{6, false}, std::pair{2, true}, std::pair{6, false}}) {
        SCOPED_TRACE(index);
        SetMainDword("DVDMenu", DWORD(index));
        ASSERT_TRUE(Start("dvd_menu_lang")) << messageBoxes;
        auto* player = dynamic_cast<dvd::DvdPlayer*>(w->DvdControl());
        ASSERT_NE(player, nullptr);
        QRgb centre = 0;
        EXPECT_TRUE(testutil::WaitUntil(
            [&] {
                const QImage picture = player->CurrentImage();
                if (picture.isNull()) return false;
                centre = picture.pixel(picture.width() / 2, picture.height() / 2);
                return std::abs(qRed(centre) - qBlue(centre)) > 150;
            },
            10000));
        EXPECT_EQ(qRed(centre) > qBlue(centre), red) << std::hex << centre;
        Close();
        EXPECT_EQ(qgetenv("LANGUAGE"), languages);
    }
}

// The disc's caption "HELLO" shows from 0.5 s to 7 s: over the picture's
// foot, or in its lower right quarter; it goes when switched off, and a
// seek clears it.
TEST_F(DvdDiscs, ClosedCaptionsShowOverThePictureUntilSwitchedOffOrSought)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    SetMainDword("SkipLength", 3);
    ASSERT_TRUE(Start("dvd_captions")) << messageBoxes;
    ui()->MiCcOn->trigger();
    ASSERT_TRUE(ui()->MiCcOn->isChecked());
    QLabel* label = nullptr;
    const auto shown = [&] {
        label = w->findChild<QLabel*>(QStringLiteral("CaptionLabel"));
        return label && label->isVisible() && label->text() == QLatin1String("HELLO");
    };
    ASSERT_TRUE(testutil::WaitUntil(shown, 10000));
    const QRect video = w->VideoRect();
    EXPECT_TRUE(video.contains(label->geometry())) << video.width() << "x" << video.height();
    EXPECT_GT(label->geometry().top(), video.center().y());
    EXPECT_NEAR(label->geometry().center().x(), video.center().x(), 2);
    ui()->MiCcRightBottom->trigger();
    EXPECT_GE(label->geometry().left(), video.center().x());
    EXPECT_GE(label->geometry().top(), video.top() + video.height() * 55 / 100);

    ui()->MiCcOn->trigger();
    EXPECT_FALSE(label->isVisible());
    ui()->MiCcOn->trigger();
    EXPECT_TRUE(shown());

    // Three seconds on, still before the caption's end: the seek clears it.
    // (The skip counts from the time the window shows, whole seconds.)
    ASSERT_TRUE(WaitShown(1.0, 3.5));
    ASSERT_TRUE(testutil::WaitUntil([&] { return ui()->TrackBarForSeek->maximum() > 0; })) << Shown();
    const double before = Shown();
    Click(ui()->BtnSkip);
    EXPECT_TRUE(testutil::WaitUntil([&] { return !label->isVisible(); }, 3000))
        << before << " -> " << Shown() << " " << label->text().toStdString();
    EXPECT_LT(Shown(), 6.8);
}

}  // namespace
