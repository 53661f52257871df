#include "platform/media/catalogue.h"

#include "platform/media/graph.h"
#include "platform/media/output.h"

#include <gst/gst.h>

#include <QHash>

#include <memory>

namespace media {

namespace {

bool IsAudioKind(int kind) { return kind == 1 || kind == 3 || kind == 5; }

struct CapsUnref {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
using CapsRef = std::unique_ptr<GstCaps, CapsUnref>;

}  // namespace

QString DecoderKindCaps(int kind)
{
    switch (kind) {
    case 0:
    case 6: return QStringLiteral("video/mpeg, mpegversion=(int)1, systemstream=(boolean)false");
    // MPEG-2 audio travels as MPEG-1 layers in GStreamer's caps.
    case 1:
    case 3: return QStringLiteral("audio/mpeg, mpegversion=(int)1");
    case 2:
    case 4:
    case 7: return QStringLiteral("video/mpeg, mpegversion=(int)2, systemstream=(boolean)false");
    case 5: return QStringLiteral("audio/x-ac3");
    default: return {};
    }
}

std::vector<CatalogueEntry> MatchingDecoders(int kind, bool anyRank)
{
    const QString capsText = DecoderKindCaps(kind);
    if (capsText.isEmpty()) return {};
    gst_init(nullptr, nullptr);
    CapsRef in(gst_caps_from_string(capsText.toUtf8().constData()));
    CapsRef out(gst_caps_from_string(IsAudioKind(kind) ? "audio/x-raw" : "video/x-raw"));
    GList* factories = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER,
                                                             anyRank ? GST_RANK_NONE : GstRank(GST_RANK_NONE + 1));
    std::vector<CatalogueEntry> found;
    for (GList* l = factories; l; l = l->next) {
        auto* factory = GST_ELEMENT_FACTORY(l->data);
        if (!gst_element_factory_can_sink_any_caps(factory, in.get())) continue;
        if (!gst_element_factory_can_src_any_caps(factory, out.get())) continue;
        const QString name = QString::fromUtf8(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME));
        if (name == QLatin1String("Ligos MPEG Splitter")) continue;
        const QString factoryName = QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
        found.push_back({name, factoryName, FactoryClassId(factoryName)});
    }
    gst_plugin_feature_list_free(factories);
    QHash<QString, int> uses;
    for (const CatalogueEntry& e : found) ++uses[e.name];
    for (CatalogueEntry& e : found)
        if (uses.value(e.name) > 1) e.name = QStringLiteral("%1 [%2]").arg(e.name, e.factory);
    return found;
}

std::vector<CatalogueEntry> AudioOutputDevices()
{
    std::vector<CatalogueEntry> found;
    for (const AudioSinkDevice& d : AudioSinkDevices()) found.push_back({d.name, d.factory, FactoryClassId(d.factory)});
    return found;
}

GstElement* MakeCatalogueElement(const QString& factory)
{
    gst_init(nullptr, nullptr);
    GstElement* element = gst_element_factory_make(factory.toUtf8().constData(), nullptr);
    if (element) gst_object_ref_sink(element);
    return element;
}

}  // namespace media
