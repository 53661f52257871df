// The options dialog from the main window's "設定": changes confirmed with
// OK reach the running window at once (tool bar, aspect, the single-window
// lock) and come back after a restart; Cancel changes nothing.
#include "platform/instance/instance.h"
#include "platform/media/catalogue.h"
#include "player/tools/DecoderLists.h"
#include "player/tools/TOKBottomDlg.h"
#include "ui_TOKBottomDlg.h"
#include "window_test_util.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolButton>
#include <QToolTip>

#include <gst/gst.h>

#include <functional>

using namespace mwtest;

namespace {

class OptionsWindow : public WindowTest {
protected:
    // Runs `step` once on the options dialog when it shows.
    std::unique_ptr<QTimer> WhenShown(std::function<void(TOKBottomDlg*)> step)
    {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(5);
        QTimer* t = timer.get();
        QObject::connect(t, &QTimer::timeout, [t, step] {
            auto* dialog = qobject_cast<TOKBottomDlg*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            t->stop();
            step(dialog);
        });
        t->start();
        return timer;
    }
    // Whether a tool tip comes up over the power button.
    bool HintShows()
    {
        QToolTip::hideText();
        testutil::WaitUntil([] { return !QToolTip::isVisible(); }, 2000);
        QWidget* b = ui()->TBPowerState;
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), b->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(b, &help);
        return QToolTip::isVisible();
    }
    static bool LockHeld() { return instance::NamedMutex::Open(QString::fromLatin1(kAppMutexName)) != nullptr; }
};

TEST_F(OptionsWindow, OkChangesTheRunningWindowAndARestartKeepsItWhileCancelChangesNothing)
{
    Open();
    ASSERT_TRUE(ui()->TBPowerState->isVisible());
    ASSERT_TRUE(LockHeld());
    ASSERT_TRUE(ui()->miBookmark2->isVisible());
    ASSERT_TRUE(HintShows());
    QString firstSheet;
    auto change = WhenShown([&](TOKBottomDlg* d) {
        Ui::TOKBottomDlg* f = d->Form();
        firstSheet = f->PageControl1->currentWidget()->objectName();
        f->ComboBox1->setCurrentIndex(3);   // 16 : 9
        f->CBHint->setChecked(false);
        f->TabTabSheet5->click();
        f->CbNewWindow->setChecked(true);
        f->TabShPower->click();
        f->CBShowPSBtn->setChecked(false);
        f->TabShOperation->click();
        f->ChUseBookmrk->setChecked(false);
        f->OKBtn->click();
    });
    ui()->NProperty->trigger();

    EXPECT_EQ(firstSheet, QStringLiteral("SheetDisplay"));
    EXPECT_FALSE(ui()->TBPowerState->isVisible());
    EXPECT_TRUE(ui()->miAspect169->isChecked());
    EXPECT_FALSE(ui()->miBookmark2->isVisible());
    ui()->TBPowerState->show();
    EXPECT_FALSE(HintShows());
    ui()->TBPowerState->hide();
    EXPECT_TRUE(w->Settings().MakeNewWindow);
    // The next start opens a window of its own.
    EXPECT_FALSE(LockHeld());
    EXPECT_EQ(MainDword("ShowPowerState"), std::optional<DWORD>(0));
    EXPECT_EQ(MainDword("AspectRatio"), std::optional<DWORD>(3));

    Close();
    Open();
    EXPECT_FALSE(ui()->TBPowerState->isVisible());
    EXPECT_FALSE(ui()->miBookmark2->isVisible());
    EXPECT_TRUE(ui()->miAspect169->isChecked());
    EXPECT_TRUE(w->Settings().MakeNewWindow);
    EXPECT_FALSE(LockHeld());

    // Cancel: the dialog's changes go nowhere.
    auto cancel = WhenShown([](TOKBottomDlg* d) {
        Ui::TOKBottomDlg* f = d->Form();
        f->TabTabSheet5->click();
        f->CbNewWindow->setChecked(false);
        f->TabShPower->click();
        f->CBShowPSBtn->setChecked(true);
        f->CancelBtn->click();
    });
    ui()->NProperty->trigger();
    EXPECT_FALSE(ui()->TBPowerState->isVisible());
    EXPECT_TRUE(w->Settings().MakeNewWindow);
    EXPECT_EQ(MainDword("ShowPowerState"), std::optional<DWORD>(0));
    EXPECT_EQ(MainDword("MakeNewWindow"), std::optional<DWORD>(1));

    // Back to one window: this one takes the lock again at once.
    auto back = WhenShown([](TOKBottomDlg* d) {
        d->Form()->TabTabSheet5->click();
        d->Form()->CbNewWindow->setChecked(false);
        d->Form()->OKBtn->click();
    });
    ui()->NProperty->trigger();
    EXPECT_TRUE(LockHeld());
}

TEST_F(OptionsWindow, ANewWindowSizeResizesThePlayingWindowAtOnce)
{
    MW_REQUIRE_FIXTURES();
    Open();
    w->AddPathOrPlayList(Fixture("clip.avi"));
    w->PlayListItem(false, false);
    ASSERT_TRUE(WaitPlaying());
    const int before = w->width();
    auto change = WhenShown([](TOKBottomDlg* d) {
        d->Form()->RbtnW6->setChecked(true);   // 640x480
        d->Form()->OKBtn->click();
    });
    ui()->NProperty->trigger();
    EXPECT_TRUE(ui()->N640->isChecked());
    EXPECT_EQ(w->Settings().WindowSize, 1u);
    // From the clip's 320 pixels to 640, the frame staying as it was.
    EXPECT_EQ(w->width() - before, 320);
}

// The factories of the elements in the bin and its inner bins.
QStringList Factories(GstElement* bin)
{
    QStringList names;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        if (GstElementFactory* f = gst_element_get_factory(e))
            names << QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(f)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return names;
}

TEST_F(OptionsWindow, TheChosenMpeg2DecoderDecodesTheNextMpeg2File)
{
    MW_REQUIRE_FIXTURES();
    const std::vector<media::CatalogueEntry> decoders = media::MatchingDecoders(2, false);
    if (decoders.size() < 2) GTEST_SKIP() << "fewer than two MPEG-2 video decoders installed";
    // The last one listed: not what the graph would take by itself.
    const media::CatalogueEntry chosen = decoders.back();
    Open();
    auto choose = WhenShown([&](TOKBottomDlg* d) {
        Ui::TOKBottomDlg* f = d->Form();
        f->TabShDecoder->click();
        d->Decoders().DropDown(2);
        const int index = f->CmbMpeg2V->findText(chosen.name);
        f->CmbMpeg2V->setCurrentIndex(index);
        emit f->CmbMpeg2V->activated(index);
        f->OKBtn->click();
    });
    ui()->NProperty->trigger();
    EXPECT_EQ(w->Settings().MPEG2Video, chosen.name);

    w->AddPathOrPlayList(Fixture("mpeg2.m2p"));
    w->PlayListItem(false, false);
    ASSERT_TRUE(WaitPlaying());
    ASSERT_NE(w->Graph(), nullptr);
    EXPECT_TRUE(w->Graph()->HasPreferredFactory(chosen.factory));
    EXPECT_TRUE(Factories(w->Graph()->Pipeline()).contains(chosen.factory)) << Factories(w->Graph()->Pipeline());
}

}  // namespace
