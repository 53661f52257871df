// The colour window run from the main window's menu on a playing and on a
// paused clip: bars that change the picture at once, Cancel and OK, the
// defaults, and the presets with their refusals as the registry keeps them.
#include "window_test_util.h"

#include "platform/dialogs/dialogs.h"
#include "player/tools/TColorDlg.h"
#include "player/units/Shortcuts.h"
#include "player/units/Vmr9mixer.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSlider>

#include <deque>
#include <functional>

using namespace mwtest;

namespace {

constexpr char kOverlay[] = "Software\\Bruvo\\ZoDVD\\Color\\Overlay";
constexpr char kVmr9[] = "Software\\Bruvo\\ZoDVD\\Color\\VMR9";

LONG Dword(const QString& key, const char* name)
{
    const RegKey k = RegKey::Open(HKEY_CURRENT_USER, key.toUtf8().constData(), KEY_READ);
    return k ? static_cast<LONG>(RegReadDword(k.get(), name, 12345)) : 12345;
}

bool KeyExists(const QString& key) { return bool(RegKey::Open(HKEY_CURRENT_USER, key.toUtf8().constData(), KEY_READ)); }

QString SetNames(const char* key)
{
    const RegKey k = RegKey::Open(HKEY_CURRENT_USER, key, KEY_READ);
    QString names;
    if (k) RegReadString(k.get(), "SetNames", &names, 4096);
    return names;
}

QString Sub(const char* key, const char* name) { return QString::fromLatin1(key) + "\\" + name; }

// Runs `inside` on the window `T` once it shows modally, while `open` runs.
template <typename T>
void WhileModal(const std::function<void()>& open, const std::function<void(T*)>& inside)
{
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window) return;
        poll.stop();
        inside(window);
    });
    poll.start();
    open();
}

class ColourDialog : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        MW_REQUIRE_FIXTURES();
        media::FilterGraph reset;
        reset.AddVideoRenderer(media::RendererOverlay, nullptr);
        reset.SetColorValues(media::ColorValues());
        // Questions are answered yes.
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            messageBoxes << call.caption + ": " + call.text;
            return (call.flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
        });
        dialogs::SetInputQueryAnswerer([this](const dialogs::InputQueryCall& call) -> std::optional<QString> {
            prompts << call.caption + ": " + call.prompt + " [" + call.value + "]";
            if (names.empty()) return std::nullopt;
            const QString name = names.front();
            names.pop_front();
            return name;
        });
    }
    void TearDown() override
    {
        // Questions are answered yes.
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            messageBoxes << call.caption + ": " + call.text;
            return (call.flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
        });
        dialogs::SetInputQueryAnswerer({});
        WindowTest::TearDown();
    }
    void PlayClip()
    {
        w->AddPathOrPlayList(Fixture("clip.avi"));
        w->PlayListItem(false, false);
        ASSERT_TRUE(WaitPlaying());
    }
    static QSlider* Bar(TColorDlg* d, const char* name) { return d->findChild<QSlider*>(QString::fromLatin1(name)); }
    static void Click(TColorDlg* d, const char* name) { d->findChild<QPushButton*>(QString::fromLatin1(name))->click(); }
    static void Menu(TColorDlg* d, const char* name)
    {
        d->PopupMenu1Popup();
        QAction* item = d->PopupMenu1()->findChild<QAction*>(QString::fromLatin1(name));
        if (item->isEnabled()) item->trigger();
    }
    static QComboBox* Presets(TColorDlg* d) { return d->findChild<QComboBox*>(QStringLiteral("ComboBox1")); }
    // Whether the picture now shown is grey (or coloured).
    bool PictureGrey(bool grey)
    {
        return testutil::WaitUntil([&] {
            const QImage image = w->Graph() ? w->Graph()->CurrentImage() : QImage();
            if (image.isNull()) return false;
            return grey ? testutil::ColouredShare(image) < 0.02 : testutil::ColouredShare(image) > 0.3;
        }, 8000);
    }

    std::deque<QString> names;
    QStringList prompts;
};

TEST_F(ColourDialog, PaintedRendererBarsCancelAndThePresetsInTheRegistry)
{
    SetMainDword("Renderer", 3);
    {
        // A name whose key is gone already.
        const RegKey k = RegKey::Create(HKEY_CURRENT_USER, kVmr9, KEY_WRITE);
        RegWriteString(k.get(), "SetNames", "ghost;");
    }
    Open();
    PlayClip();
    CVMR9MIXER* mixer = w->Vmr9Mixer();
    ASSERT_TRUE(mixer);

    // A move shows at once; Cancel puts the picture back, the bars stay.
    bool seen = false;
    WhileModal<TColorDlg>([&] { ui()->MIColor->trigger(); }, [&](TColorDlg* d) {
        EXPECT_EQ(d->windowTitle(), "カラー設定");
        // Below the main window, centred on it, as far as the screen lets it.
        EXPECT_GT(d->frameGeometry().top(), w->frameGeometry().top());
        EXPECT_NEAR(d->frameGeometry().center().x(), w->frameGeometry().center().x(), 2);
        EXPECT_FALSE(Bar(d, "TBarGamma")->isEnabled());
        EXPECT_FALSE(Bar(d, "TBarSharp")->isVisible());
        EXPECT_EQ(Bar(d, "TBarSaturation")->maximum(), 200);
        EXPECT_EQ(Bar(d, "TBarSaturation")->value(), 100);
        EXPECT_EQ(Presets(d)->count(), 2);   // the empty item and "ghost"
        Bar(d, "TBarSaturation")->setValue(0);
        EXPECT_EQ(mixer->current.Saturation, 0.0f);
        seen = PictureGrey(true);
        Click(d, "CancelBtn");
        EXPECT_EQ(Bar(d, "TBarSaturation")->value(), 0);
    });
    EXPECT_TRUE(seen);
    EXPECT_EQ(mixer->current.Saturation, 100.0f);
    EXPECT_TRUE(PictureGrey(false));

    names = {"grey", "GREY", "a;b", "a\\b", "half", "mono", "Mono"};
    WhileModal<TColorDlg>([&] { ui()->MIColor->trigger(); }, [&](TColorDlg* d) {
        Bar(d, "TBarSaturation")->setValue(0);
        for (int i = 0; i < 4; ++i) Menu(d, "N2");   // grey, then three refusals
        Bar(d, "TBarSaturation")->setValue(50);
        Menu(d, "N2");   // half
        EXPECT_EQ(Presets(d)->count(), 4);
        EXPECT_EQ(Presets(d)->currentIndex(), 0);

        // Choosing a preset sets the bars and the picture.
        Presets(d)->setCurrentIndex(2);   // grey
        EXPECT_EQ(Bar(d, "TBarSaturation")->value(), 0);
        EXPECT_EQ(mixer->current.Saturation, 0.0f);
        // A rename keeps the stored values, not the bars'; a change of case renames in place.
        Bar(d, "TBarBrightness")->setValue(10);
        Menu(d, "N1");   // mono
        Menu(d, "N1");   // Mono
        EXPECT_EQ(Presets(d)->itemText(2), "Mono");

        // The dead name goes, and so does "half" once asked.
        Presets(d)->setCurrentIndex(1);
        Click(d, "Button2");
        Presets(d)->setCurrentIndex(2);   // half
        Click(d, "Button2");
        EXPECT_EQ(Presets(d)->count(), 2);

        // OK overwrites the chosen preset with the bars.
        Presets(d)->setCurrentIndex(1);   // Mono
        Bar(d, "TBarContrast")->setValue(150);
        Click(d, "OKBtn");
    });
    EXPECT_EQ(prompts.first(), "カラー設定: 登録名を入力してください。 []");
    EXPECT_EQ(prompts.last(), "カラー設定: 登録名を入力してください。 [mono]");
    EXPECT_EQ(messageBoxes, QStringList({"確認: すでに登録済みの名前です。", "確認: \";\" は使えません。",
                                         "確認: \"\\\" は使えません。", "確認: \"ghost\" を削除してよろしいですか？",
                                         "確認: \"half\" を削除してよろしいですか？"}));
    EXPECT_EQ(SetNames(kVmr9), "Mono;");
    EXPECT_FALSE(KeyExists(Sub(kVmr9, "grey")));
    EXPECT_FALSE(KeyExists(Sub(kVmr9, "half")));
    EXPECT_EQ(Dword(Sub(kVmr9, "Mono"), "Saturation"), 0);
    // The rename kept the stored 0, not the bar's 10, and choosing the preset put 0 on the bar.
    EXPECT_EQ(Dword(Sub(kVmr9, "Mono"), "Brightness"), 0);
    EXPECT_EQ(Dword(Sub(kVmr9, "Mono"), "Contrast"), 150);
    EXPECT_EQ(Dword(Sub(kVmr9, "Mono"), "Gamma"), 12345);
    // The main window's preset menu offers what the window stored.
    ASSERT_EQ(ui()->colorset1->actions().size(), 1);
    EXPECT_EQ(ItemCaption(ui()->colorset1->actions()[0]), "Mono");
}

TEST_F(ColourDialog, OverlayOnAPausedClipDefaultsAndOkStoreTheValues)
{
    SetMainDword("Renderer", 1);
    SetMainDword("UseColorCtrl", 0);
    Open();
    PlayClip();
    ASSERT_TRUE(w->ColorControl());
    w->TogglePlayPause();
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->Graph()->State() == media::GraphState::Paused; }));
    ASSERT_TRUE(PictureGrey(false));

    WhileModal<TColorDlg>([&] { ui()->MIColor->trigger(); }, [&](TColorDlg* d) {
        EXPECT_TRUE(Bar(d, "TBarGamma")->isEnabled());
        EXPECT_EQ(Bar(d, "TBarSaturation")->maximum(), 20000);
        Bar(d, "TBarSaturation")->setValue(0);
        // Paused, the picture changes all the same.
        EXPECT_TRUE(PictureGrey(true));
        Click(d, "BtnRestore");
        EXPECT_EQ(Bar(d, "TBarSaturation")->value(), 10000);
        EXPECT_TRUE(PictureGrey(false));
        // After the restore nothing is changed; the defaults are a change OK stores.
        Click(d, "BtnDefault");
        EXPECT_EQ(Bar(d, "TBarBrightness")->value(), 750);
        Click(d, "OKBtn");
    });
    EXPECT_EQ(Dword(kOverlay, "Brightness"), 750);
    EXPECT_EQ(Dword(kOverlay, "Saturation"), 10000);
    EXPECT_EQ(Dword(kOverlay, "Gamma"), 1);
    EXPECT_TRUE(w->ColorApplied);
    EXPECT_EQ(w->Graph()->State(), media::GraphState::Paused);

    // Nothing moved: Cancel stores nothing.
    RegDeleteKey(HKEY_CURRENT_USER, kOverlay);
    WhileModal<TColorDlg>([&] { ui()->MIColor->trigger(); }, [&](TColorDlg* d) { Click(d, "CancelBtn"); });
    EXPECT_FALSE(KeyExists(kOverlay));
}

}  // namespace
