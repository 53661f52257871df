// Picture colour in the main window on real media: the preset sub-menus from
// the colour keys (order, shortcuts, renderer kinds, DVD mode), presets that
// change the picture and the stored values, window timer 15 and the values
// kept into the next file.
#include "window_test_util.h"

#include "player/units/Shortcuts.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

using namespace mwtest;

namespace {

constexpr char kOverlay[] = "Software\\Bruvo\\ZoDVD\\Color\\Overlay";
constexpr char kVmr9[] = "Software\\Bruvo\\ZoDVD\\Color\\VMR9";

void SetDword(const QString& key, const char* name, LONG value)
{
    const RegKey k = RegKey::Create(HKEY_CURRENT_USER, key.toUtf8().constData(), KEY_WRITE);
    ASSERT_TRUE(k);
    RegWriteDword(k.get(), name, static_cast<DWORD>(value));
}

// The stored value; 12345 when there is none.
LONG Dword(const char* key, const char* name)
{
    const RegKey k = RegKey::Open(HKEY_CURRENT_USER, key, KEY_READ);
    return k ? static_cast<LONG>(RegReadDword(k.get(), name, 12345)) : 12345;
}

void SetNames(const char* key, const QString& names)
{
    const RegKey k = RegKey::Create(HKEY_CURRENT_USER, key, KEY_WRITE);
    RegWriteString(k.get(), "SetNames", names);
}

QString Sub(const char* key, const char* name) { return QString::fromLatin1(key) + "\\" + name; }


QStringList Captions(QMenu* menu)
{
    QStringList names;
    for (QAction* a : menu->actions()) names << ItemCaption(a);
    return names;
}

class ColourWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (!FixturesMade()) GTEST_SKIP() << "media fixtures not made";
        // The display's overlay starts at the defaults, whatever ran before.
        media::FilterGraph reset;
        reset.AddVideoRenderer(media::RendererOverlay, nullptr);
        reset.SetColorValues(media::ColorValues());
    }
    void PlayClip()
    {
        w->CloseMedia();
        w->UpdateControlsForMedia(false);
        w->AddPathOrPlayList(Fixture("clip.avi"));
        w->PlayListItem(false, false);
        ASSERT_TRUE(WaitPlaying());
    }
    // Whether the picture, drawn again from the start, is grey.
    bool PictureGrey(bool grey)
    {
        return testutil::WaitUntil([&] {
            if (!w->Graph()) return false;
            w->SeekTo(0);
            const QImage image = w->Graph()->CurrentImage();
            if (image.isNull()) return false;
            return grey ? testutil::ColouredShare(image) < 0.02 : testutil::ColouredShare(image) > 0.3;
        }, 8000);
    }
    static media::ColorValues Shown(TZoMain* window)
    {
        media::ColorValues v;
        if (window->Graph()) window->Graph()->GetColorValues(&v);
        return v;
    }
};

TEST_F(ColourWindow, OverlayPresetsFromTheMenuAndTheirKeys)
{
    SetMainDword("Renderer", 1);
    SetMainDword("ShowStatus", 1);
    SetMainDword("UseColorCtrl", 0);
    SetNames(kOverlay, "vivid;;grey;a;b;c;d;tail");
    SetDword(Sub(kOverlay, "grey"), "Saturation", 0);
    SetDword(Sub(kOverlay, "grey"), "Gamma", 0);   // below the range: 1
    SetDword(Sub(kOverlay, "vivid"), "Saturation", 20000);
    for (int i = 1; i <= 5; ++i) SetDword(kShortcutKeyKey, QString("Color%1").arg(i).toLatin1(), 0x4030 + i);
    // A name with "\" names no preset, even when such a key exists.
    SetDword(Sub(kOverlay, "x\\y"), "Saturation", 0);
    Open();
    EXPECT_EQ(Tag(ui()->colorset1), 0);
    PlayClip();

    EXPECT_TRUE(w->ColorControl());
    EXPECT_TRUE(ui()->MIColor->isVisible());
    EXPECT_EQ(Tag(ui()->MIColor), 0);
    EXPECT_EQ(Tag(ui()->colorset1), 1);
    EXPECT_TRUE(ui()->colorset1->menuAction()->isVisible() && ui()->colorset1->isEnabled());
    // The empty name is no item, the text after the last ";" no name; the
    // first five items take Color1 to Color5.
    ASSERT_EQ(Captions(ui()->colorset1), QStringList({"vivid", "grey", "a", "b", "c", "d"}));
    const QList<QAction*> items = ui()->colorset1->actions();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ItemShortCut(items[i]), 0x4031 + i) << i;
    EXPECT_EQ(ItemShortCut(items[5]), 0);

    EXPECT_TRUE(PictureGrey(false));
    // Color2 is the second preset: the picture turns grey at once.
    ASSERT_TRUE(w->IsShortCut(0x4032));
    EXPECT_TRUE(PictureGrey(true));
    EXPECT_EQ(Shown(w.get()).gamma, 1);
    EXPECT_TRUE(w->ColorApplied);
    EXPECT_EQ(ui()->TxtInfo->text(), "カラープリセット: grey");
    // ... and its values are the current ones.
    EXPECT_EQ(Dword(kOverlay, "Saturation"), 0);
    EXPECT_EQ(Dword(kOverlay, "Gamma"), 1);

    QAction nested(QStringLiteral("x\\y"));
    items[0]->trigger();   // vivid
    EXPECT_EQ(Shown(w.get()).saturation, 20000);
    w->ApplyColorPreset(&nested);
    EXPECT_EQ(Shown(w.get()).saturation, 20000);
    items[1]->trigger();   // grey again

    // ResetColor on: closing puts the defaults back, the registry keeps its values.
    w->CloseMedia();
    EXPECT_FALSE(w->ColorApplied);
    EXPECT_EQ(media::DisplayOverlayColors().saturation, 10000);
    EXPECT_EQ(Dword(kOverlay, "Saturation"), 0);
    EXPECT_FALSE(ui()->MIColor->isVisible() || ui()->colorset1->menuAction()->isVisible());
    // The menus are kept for the next file of the same kind.
    EXPECT_EQ(Tag(ui()->colorset1), 1);

    // ResetColor off: the next file keeps the display's values.
    w->MutableSettings().ResetColor = false;
    PlayClip();
    items[1]->trigger();
    w->CloseMedia();
    EXPECT_TRUE(w->ColorApplied);
    PlayClip();
    EXPECT_EQ(Shown(w.get()).saturation, 0);
    EXPECT_TRUE(PictureGrey(true));

    // The window's destruction empties the sub-menus.
    w->FormDestroy();
    EXPECT_TRUE(ui()->colorset1->actions().isEmpty());
    EXPECT_EQ(Tag(ui()->colorset1), 0);
}

TEST_F(ColourWindow, CurrentOverlayValuesReturnWithTheNextFileByTimer15)
{
    SetMainDword("Renderer", 1);
    SetMainDword("UseColorCtrl", 1);
    SetMainDword("ColorCtlWait", 300);
    SetDword(kOverlay, "Saturation", 0);
    SetDword(kOverlay, "Hue", 5000);   // beyond the range: 180
    Open();
    PlayClip();
    // Scheduled once, at the first pause.
    EXPECT_TRUE(w->IsTimerSet(kColorControlsTimer));
    EXPECT_EQ(Shown(w.get()).saturation, 10000);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->IsTimerSet(kColorControlsTimer); }, 3000));
    EXPECT_EQ(Shown(w.get()).saturation, 0);
    EXPECT_EQ(Shown(w.get()).hue, 180);
    EXPECT_TRUE(w->ColorApplied);
    EXPECT_TRUE(PictureGrey(true));
    // A later pause schedules nothing, once the window has taken its graph event.
    const int notices = Taken(WM_GRAPHNOTIFY);
    w->BtnStartClick();
    ASSERT_TRUE(testutil::WaitUntil([&] { return w->PlayState() == psPaused; }));
    // A clip that reached its end under a loaded machine pauses without a new
    // event: the wait is bounded, and nothing may be scheduled either way.
    testutil::WaitUntil([&] { return Taken(WM_GRAPHNOTIFY) > notices; }, 3000);
    EXPECT_FALSE(w->IsTimerSet(kColorControlsTimer));

    // CloseMedia kills a waiting timer.
    w->MutableSettings().ColorCtlWait = 60000;
    PlayClip();
    EXPECT_TRUE(w->IsTimerSet(kColorControlsTimer));
    w->CloseMedia();
    EXPECT_FALSE(w->IsTimerSet(kColorControlsTimer));

    // ColorCtlWait 0: applied in the pause event itself.
    w->MutableSettings().ColorCtlWait = 0;
    PlayClip();
    EXPECT_FALSE(w->IsTimerSet(kColorControlsTimer));
    EXPECT_EQ(Shown(w.get()).saturation, 0);
}

TEST_F(ColourWindow, Vmr9PresetsAndValuesStoredWhenTheRendererGoes)
{
    SetMainDword("Renderer", 3);
    SetMainDword("UseColorCtrl", 0);
    SetNames(kOverlay, "vivid;");
    SetNames(kVmr9, "dark;grey;");
    SetDword(Sub(kVmr9, "grey"), "Saturation", 0);
    SetDword(Sub(kVmr9, "grey"), "Brightness", -1000);   // not stored
    SetDword(Sub(kVmr9, "dark"), "Brightness", -500);    // limited to -100
    Open();
    PlayClip();
    ASSERT_TRUE(w->Vmr9Mixer());
    EXPECT_FALSE(w->ColorControl());
    EXPECT_TRUE(w->IsColorControlAvailable());
    EXPECT_EQ(Tag(ui()->MIColor), 1);
    ASSERT_EQ(Captions(ui()->colorset1), QStringList({"dark", "grey"}));

    ui()->colorset1->actions()[1]->trigger();
    EXPECT_TRUE(PictureGrey(true));
    ui()->colorset1->actions()[0]->trigger();
    EXPECT_EQ(w->Vmr9Mixer()->value[0], -100);
    EXPECT_EQ(w->Vmr9Mixer()->value[3], 0);
    // Stored only when the renderer goes.
    EXPECT_EQ(Dword(kVmr9, "Brightness"), 12345);
    w->CloseMedia();
    EXPECT_FALSE(w->Vmr9Mixer());
    EXPECT_EQ(Dword(kVmr9, "Brightness"), -100);
    EXPECT_EQ(Dword(kVmr9, "Saturation"), 0);
    EXPECT_EQ(Dword(kVmr9, "Gamma"), 12345);
    // The overlay's current values were never touched.
    EXPECT_EQ(Dword(kOverlay, "Saturation"), 12345);

    // With UseColorCtrl the next file starts with them.
    w->MutableSettings().UseColorCtrl = true;
    PlayClip();
    ASSERT_TRUE(w->Vmr9Mixer());
    EXPECT_EQ(w->Vmr9Mixer()->value[3], 0);
    EXPECT_TRUE(PictureGrey(true));
    // No overlay timer for the VMR-9.
    EXPECT_FALSE(w->IsTimerSet(kColorControlsTimer));

    // Another renderer kind: the sub-menu comes from the other key.
    w->MutableSettings().Renderer = 1;
    PlayClip();
    EXPECT_EQ(Tag(ui()->MIColor), 0);
    EXPECT_EQ(Captions(ui()->colorset1), QStringList({"vivid"}));
}

TEST_F(ColourWindow, ColourControlPerRendererAndDvdMenus)
{
    SetNames(kOverlay, "vivid;grey;");
    Open();
    for (DWORD renderer : {0u, 2u, 4u}) {
        SCOPED_TRACE(renderer);
        w->MutableSettings().Renderer = renderer;
        PlayClip();
        const bool expected = renderer == 2;
        EXPECT_EQ(w->IsColorControlAvailable(), expected);
        EXPECT_EQ(ui()->colorset1->menuAction()->isVisible(), expected);
        std::shared_ptr<media::ColorControl> surface;
        EXPECT_EQ(w->GetSurfaceColorControl(&surface), expected ? S_OK : E_FAIL);
        if (expected) {
            // A windowless-7 renderer that mixes has no surface colour.
            SetTag(ui()->miIsVMRMixerMode, 1);
            EXPECT_FALSE(w->IsColorControlAvailable());
            SetTag(ui()->miIsVMRMixerMode, 0);
        }
    }
    // Sound only: no colour.
    w->MutableSettings().Renderer = 1;
    w->CloseMedia();
    w->UpdateControlsForMedia(false);
    w->AddPathOrPlayList(Fixture("tone.wav"));
    w->PlayListItem(false, false);
    ASSERT_TRUE(WaitPlaying());
    EXPECT_FALSE(ui()->MIColor->isVisible());

    // In DVD mode the presets go to the DVD menu; clearing empties both.
    w->Probe().SetMediaKind(true, false, false);
    w->BuildColorPresetMenu();
    EXPECT_EQ(Captions(ui()->DVDColorSet), QStringList({"vivid", "grey"}));
    EXPECT_EQ(Tag(ui()->DVDColorSet), 1);
    w->ClearColorPresetMenus();
    EXPECT_TRUE(ui()->DVDColorSet->actions().isEmpty());
    EXPECT_EQ(Tag(ui()->DVDColorSet), 0);
    // Without names the sub-menu counts as built, with no items.
    SetNames(kOverlay, "");
    w->BuildColorPresetMenu();
    EXPECT_EQ(Tag(ui()->DVDColorSet), 1);
    EXPECT_TRUE(ui()->DVDColorSet->actions().isEmpty());
    w->Probe().SetMediaKind(false, false, false);
}

}  // namespace
