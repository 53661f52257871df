#include "units/Dvdpipeline.h"

#include "platform/dvd/discinfo.h"
#include "platform/dvd/probe.h"
#include "platform/media/graph.h"
#include "platform/media/output.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

TDvdPipeline::TDvdPipeline(QWidget* panel) : panel_(panel)
{
    gst_init(nullptr, nullptr);
}

TDvdPipeline::~TDvdPipeline()
{
    Release();
}

int MediaRendererForDvd(int dvdRenderer, bool windowed)
{
    switch (dvdRenderer) {
    case 1: return media::RendererWindowless7;
    case 2: return windowed ? media::RendererWindowless7 : media::RendererWindowless9;
    default: return media::RendererOverlay;
    }
}

QString TDvdPipeline::FindDvdVolume()
{
    QStringList candidates{QStringLiteral("/dev/dvd")};
    for (const QString& node : QDir(QStringLiteral("/dev")).entryList({QStringLiteral("sr*")}, QDir::System))
        candidates << QStringLiteral("/dev/") + node;
    // Mounted volumes: the mount point is the fifth field of mountinfo, with
    // blanks written as \040.
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (mounts.open(QIODevice::ReadOnly)) {
        QTextStream in(&mounts);
        for (QString line; in.readLineInto(&line);) {
            const QStringList fields = line.split(' ');
            if (fields.size() < 5) continue;
            QString point = fields[4];
            point.replace(QStringLiteral("\\040"), QStringLiteral(" "));
            if (QFileInfo::exists(point + QStringLiteral("/VIDEO_TS"))) candidates << point;
        }
    }
    // Each candidate is walked in its own process before it is read here.
    for (const QString& path : candidates)
        if (QFileInfo::exists(path) && dvd::ProbeVolume(path) == dvd::ProbeVerdict::Playable &&
            dvd::DiscInfo::IsDvdVolume(path))
            return path;
    return {};
}

bool TDvdPipeline::FindDvdVideoDecoder()
{
    GList* factories = gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO, GST_RANK_MARGINAL);
    g_autoptr(GstCaps) mpeg2 = gst_caps_from_string("video/mpeg, mpegversion=(int)2, systemstream=(boolean)false");
    bool found = false;
    for (GList* l = factories; l && !found; l = l->next) {
        GstElementFactory* f = GST_ELEMENT_FACTORY(l->data);
        if (gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(f)) <= GST_RANK_NONE) continue;
        found = gst_element_factory_can_sink_any_caps(f, mpeg2);
    }
    gst_plugin_feature_list_free(factories);
    return found;
}

bool TDvdPipeline::AddPreferredDecoder(int kind, const QString& name)
{
    Q_UNUSED(name);   // the stored class identifier names the factory
    const QByteArray id = ReadFilterClassId(kind);
    const QString factoryName = id.isEmpty() ? QString() : media::FactoryForClassId(id);
    if (factoryName.isEmpty()) return false;
    GstElementFactory* factory = gst_element_factory_find(factoryName.toUtf8().constData());
    if (!factory) return false;
    // rsndvdbin picks its decoders by rank: for this build the preferred one
    // ranks above every other.
    GstPluginFeature* feature = GST_PLUGIN_FEATURE(factory);
    raised_.emplace_back(feature, gst_plugin_feature_get_rank(feature));
    gst_plugin_feature_set_rank(feature, GST_RANK_PRIMARY + 1000);
    return true;
}

bool TDvdPipeline::RendererOpens(int renderer, bool windowed)
{
    const int media = MediaRendererForDvd(renderer, windowed);
    // The painted renderer opens everywhere.
    if (media == media::RendererWindowless9) return true;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    for (const QString& factory : media::VideoOutput::WindowSinksFor(media)) {
        GstElement* sink = media::MakeOwnedElement(factory.toUtf8().constData());
        if (!sink) continue;
        const bool opens = media::OpenSink(sink);
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
        if (opens) return true;
    }
    return false;
}

HRESULT TDvdPipeline::BuildManual(const TDvdBuildRequest& request)
{
    Release();
    dvd::DvdPlayer::ManualOptions options;
    options.path = request.path;
    options.renderer = MediaRendererForDvd(request.renderer, request.windowed);
    options.panel = panel_;
    options.audioSink = request.audioSink;
    options.mixerName = request.renderer == 0 ? QStringLiteral("Overlay Mixer") : QStringLiteral("Subpicture Mixer");
    return dvd::DvdPlayer::CreateManual(options, &player_);
}

HRESULT TDvdPipeline::BuildAutomatic(const QString& path)
{
    Release();
    return dvd::DvdPlayer::CreateAutomatic(path, panel_, &player_);
}

int TDvdPipeline::VideoSinkCount()
{
    return player_ ? player_->VideoSinkCount() : 0;
}

void TDvdPipeline::Release()
{
    player_.reset();
    RestoreRanks();
}

void TDvdPipeline::RestoreRanks()
{
    for (auto& [feature, rank] : raised_) {
        gst_plugin_feature_set_rank(feature, rank);
        gst_object_unref(feature);
    }
    raised_.clear();
}

dvd::DvdPlayer* DvdPlayerOf(TDvdPipelineBuilder* builder)
{
    auto* real = dynamic_cast<TDvdPipeline*>(builder);
    return real ? real->Player() : nullptr;
}
