// A DVD played through the painted renderer offers the colour menu; the
// stored values, a preset and the colour window's path reach the picture
// read back from the layer, and the values are stored as the disc closes.
#include "platform/dvd/player.h"
#include "common/Reghelp.h"
#include "window_test_util.h"

#include <QImage>

using namespace mwtest;

namespace {

// Mean of the red, green and blue levels over the picture; -1 without one.
double MeanLevel(const QImage& picture)
{
    if (picture.isNull()) return -1;
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    long count = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4) {
            const QRgb p = image.pixel(x, y);
            sum += (qRed(p) + qGreen(p) + qBlue(p)) / 3.0;
            ++count;
        }
    return count ? sum / count : -1;
}

void SetColorValue(const QString& key, const char* name, LONG value)
{
    const RegKey k = RegKey::Create(HKEY_CURRENT_USER, key.toUtf8().constData(), KEY_WRITE);
    RegWriteDword(k.get(), name, static_cast<DWORD>(value));
}

LONG ColorValue(const char* name)
{
    const RegKey k = RegKey::Open(HKEY_CURRENT_USER, kColorVmr9Key, KEY_READ);
    return k ? static_cast<LONG>(RegReadDword(k.get(), name, 12345)) : 12345;
}

class DvdColour : public WindowTest {};

TEST_F(DvdColour, PaintedRendererGivesTheColourMenuAndItsValuesReachThePicture)
{
    MW_REQUIRE_FIXTURES();
    SetMainDword("DVDRenderer", 2);
    SetMainDword("UseColorCtrl", 1);
    // The current values (in steps of 1) and one preset.
    const QString vmr9 = QString::fromLatin1(kColorVmr9Key);
    SetColorValue(vmr9, "Brightness", 10);
    {
        const RegKey k = RegKey::Create(HKEY_CURRENT_USER, kColorVmr9Key, KEY_WRITE);
        RegWriteString(k.get(), "SetNames", QString::fromUtf8("明るく;"));
    }
    SetColorValue(vmr9 + QString::fromUtf8("\\明るく"), "Brightness", 60);
    Open();
    w->SetViewerPath(Fixture("dvd_titles") + "/VIDEO_TS");
    w->StartDvd();
    ASSERT_NE(w->DvdControl(), nullptr) << messageBoxes;
    dvd::DvdPlayer* player = w->DvdPipeline();
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(testutil::WaitUntil([&] { return ui()->TrackBarForSeek->value() >= 1; }, 10000));

    // The colour item and the preset sub-menu of the DVD menu.
    ASSERT_NE(w->Vmr9Mixer(), nullptr);
    EXPECT_TRUE(w->Vmr9Mixer()->valid);
    EXPECT_TRUE(ui()->MIDVDColor->isVisible());
    EXPECT_TRUE(ui()->MIDVDColor->isEnabled());
    ASSERT_EQ(ui()->DVDColorSet->actions().size(), 1);
    EXPECT_TRUE(ui()->DVDColorSet->menuAction()->isVisible());
    EXPECT_TRUE(ui()->DVDColorSet->isEnabled());
    // The stored values were loaded at start.
    EXPECT_EQ(w->Vmr9Mixer()->current.Brightness, 10.0f);

    const auto controls = player->GetPictureControls();
    ASSERT_NE(controls, nullptr);
    double base = -1;
    ASSERT_TRUE(testutil::WaitUntil([&] { return (base = MeanLevel(player->CurrentImage())) > 0; }, 5000));

    // The preset brightens the picture by half the range.
    ui()->DVDColorSet->actions().first()->trigger();
    EXPECT_EQ(w->Vmr9Mixer()->value[0], 60);
    double seen = base;
    EXPECT_TRUE(testutil::WaitUntil([&] { return (seen = MeanLevel(player->CurrentImage())) > base + 40; }, 3000))
        << base << " -> " << seen;

    // The colour window's path: a darker value through the mixer.
    media::VMR9ProcAmpControl darker = w->Vmr9Mixer()->current;
    darker.dwFlags = media::ProcAmpControl9_Brightness;
    darker.Brightness = -40.0f;
    ASSERT_EQ(w->Vmr9Mixer()->ApplyProcAmp(darker), S_OK);
    EXPECT_TRUE(testutil::WaitUntil([&] { return (seen = MeanLevel(player->CurrentImage())) < base - 25; }, 3000))
        << base << " -> " << seen;

    // Closing stores the current steps, and the controls no longer reach a player.
    w->CloseMedia();
    EXPECT_EQ(w->Vmr9Mixer(), nullptr);
    EXPECT_EQ(ColorValue("Brightness"), -40);
    EXPECT_EQ(ColorValue("Contrast"), 100);
    media::VMR9ProcAmpControl after{sizeof(media::VMR9ProcAmpControl), 0, 0, 0, 0, 0};
    EXPECT_EQ(controls->GetProcAmpControl(0, &after), VFW_E_NOT_CONNECTED);
}

}  // namespace
