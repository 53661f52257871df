// The filter list: the element walk over real pipelines (nested bins,
// several audio renderers), and the window run from the main window's menu
// on a playing clip, whose property dialog changes a running element.
#include "window_test_util.h"

#include "platform/media/elements.h"
#include "player/tools/TShowFilterDlg.h"

#include <gst/gst.h>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QThread>

using namespace mwtest;

namespace {

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

QStringList Names(const std::vector<media::GraphElement>& elements, bool audioOnly = false)
{
    QStringList names;
    for (const auto& e : elements) {
        if (!audioOnly || e.audioRenderer) names << e.name;
    }
    return names;
}

TEST(FilterList, LeavesInOrderTheFirstOfANameAndTheAudioRendererCount)
{
    gst_init(nullptr, nullptr);
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(
        "audiotestsrc num-buffers=1 name=src1 ! fakesink name=a1 "
        "bin. ( name=inner audiotestsrc num-buffers=1 name=src2 ! fakesink name=dup ) "
        "audiotestsrc num-buffers=1 name=src3 ! audio/x-raw ! fakesink name=a3 "
        "videotestsrc num-buffers=1 name=vsrc ! fakesink name=dup",
        &error);
    if (!pipeline) GTEST_SKIP() << (error ? error->message : "no pipeline");
    ASSERT_EQ(gst_element_set_state(pipeline, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE, true);
    gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);

    const auto elements = media::LeafElements(pipeline);
    QStringList names = Names(elements);
    // The bin is walked, not listed.
    EXPECT_FALSE(names.contains("inner"));
    EXPECT_EQ(names.size(), 9);   // with the caps filter
    EXPECT_EQ(names.mid(0, 4), QStringList({"src1", "a1", "src2", "dup"}));
    EXPECT_EQ(Names(elements, true), QStringList({"a1", "dup", "a3"}));
    for (const auto& e : elements) EXPECT_TRUE(e.offersPages) << e.name;

    // Two elements called "dup": the first one found is the audio one in the bin.
    GstElement* first = media::FindElementByName(pipeline, "dup");
    ASSERT_TRUE(first);
    EXPECT_TRUE(media::IsAudioRenderer(first));
    gst_object_unref(first);
    EXPECT_FALSE(media::FindElementByName(pipeline, "inner"));

    // Three streams in the menu and three renderers: only the third is listed;
    // with two streams all three are, as several streams share one renderer.
    const QStringList three = FilterListItems(elements, 3);
    EXPECT_FALSE(three.contains("1a1"));
    EXPECT_TRUE(three.contains("1a3"));
    EXPECT_EQ(three.filter("1dup").size(), 1);   // the video one
    EXPECT_EQ(three.size(), 7);
    EXPECT_EQ(FilterListItems(elements, 2).size(), 9);
    EXPECT_EQ(FilterListItems(elements, 0).size(), 9);

    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

class FilterWindow : public WindowTest {};

TEST_F(FilterWindow, ListsThePipelineShowsTheSizeAndSetsARunningElement)
{
    MW_REQUIRE_FIXTURES();
    Open();
    w->AddPathOrPlayList(Fixture("clip.avi"));
    w->PlayListItem(false, false);
    ASSERT_TRUE(WaitPlaying());

    QStringList items;
    double saturation = -1;
    WhileModal<TShowFilterDlg>([&] { ui()->NShowFilter->trigger(); }, [&](TShowFilterDlg* d) {
        EXPECT_EQ(d->windowTitle(), "使用中のフィルタ");
        EXPECT_EQ(d->findChild<QLabel*>("Label1")->text(), "320 x 240");
        EXPECT_EQ(d->findChild<QLabel*>("Label2")->text(), "4 : 3");
        QListWidget* list = d->ListBoxFilter();
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        const auto found = list->findItems("videobalance", Qt::MatchContains);
        ASSERT_FALSE(found.isEmpty());
        list->setCurrentItem(found.first());
        QTimer::singleShot(0, [&] {
            QDialog* page = d->PropertyDialog();
            ASSERT_TRUE(page);
            EXPECT_EQ(page->windowTitle(), found.first()->text().mid(1));
            auto* box = page->findChild<QDoubleSpinBox*>("saturation");
            ASSERT_TRUE(box);
            box->setValue(0.0);
            GstElement* e = media::FindElementByName(w->Graph()->Pipeline(), page->windowTitle());
            g_object_get(e, "saturation", &saturation, nullptr);
            gst_object_unref(e);
            page->reject();
        });
        emit list->itemDoubleClicked(list->currentItem());
        d->reject();
    });
    EXPECT_EQ(saturation, 0.0);
    EXPECT_FALSE(items.isEmpty());
    for (const QString& item : items) EXPECT_TRUE(item.startsWith('0') || item.startsWith('1')) << item;

    // Sound only: no video labels.
    w->CloseMedia();
    w->UpdateControlsForMedia(false);
    w->AddPathOrPlayList(Fixture("tone.wav"));
    w->PlayListItem(false, false);
    ASSERT_TRUE(WaitPlaying());
    WhileModal<TShowFilterDlg>([&] { ui()->NShowFilter->trigger(); }, [&](TShowFilterDlg* d) {
        EXPECT_EQ(d->findChild<QLabel*>("Label1")->text(), "n/a");
        EXPECT_EQ(d->findChild<QLabel*>("Label2")->text(), "n/a");
        EXPECT_GT(d->ListBoxFilter()->count(), 0);
        d->reject();
    });
}

TEST_F(FilterWindow, ListsTheDiscsPipelineWhileADvdPlays)
{
    MW_REQUIRE_FIXTURES();
    Open();
    w->SetViewerPath(Fixture("dvd_menu") + "/VIDEO_TS");
    w->StartDvd();
    ASSERT_NE(w->DvdControl(), nullptr);
    ASSERT_EQ(w->Graph(), nullptr);
    GstElement* pipeline = w->PlayingPipeline();
    ASSERT_NE(pipeline, nullptr);
    // The navigator makes the decoders of the disc's streams at its first
    // data: the list is compared once they are in the pipeline (on a slow
    // build the dialog could open before and list fewer elements).
    const auto hasDecoders = [pipeline] {
        bool video = false, audio = false;
        for (const media::GraphElement& e : media::LeafElements(pipeline)) {
            video = video || e.name.contains(QLatin1String("mpeg2"));
            audio = audio || e.name.contains(QLatin1String("a52dec"));
        }
        return video && audio;
    };
    QElapsedTimer clock;
    clock.start();
    while (!hasDecoders() && clock.elapsed() < 10000) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    ASSERT_TRUE(hasDecoders());

    QStringList items;
    QString opened;
    WhileModal<TShowFilterDlg>([&] { ui()->MIDVDFilter->trigger(); }, [&](TShowFilterDlg* d) {
        QListWidget* list = d->ListBoxFilter();
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        const auto settable = list->findItems("1", Qt::MatchStartsWith);
        if (!settable.isEmpty()) {
            list->setCurrentItem(settable.first());
            QTimer::singleShot(0, [&] {
                if (QDialog* page = d->PropertyDialog()) {
                    opened = page->windowTitle();
                    page->reject();
                }
            });
            emit list->itemDoubleClicked(list->currentItem());
        }
        d->reject();
    });
    // The list is the disc's pipeline walked as for a file, and a double
    // click reaches the element in it.
    QStringList expected = FilterListItems(media::LeafElements(pipeline), w->AudioStreamItems());
    EXPECT_FALSE(items.isEmpty());
    EXPECT_EQ(items, expected);
    const QStringList settable = items.filter(QRegularExpression("^1"));
    ASSERT_FALSE(settable.isEmpty());
    EXPECT_EQ(opened, settable.first().mid(1));
}

}  // namespace
