#include "platform/media/bus.h"

namespace media {

namespace {

using Handlers = std::vector<BusWatch::Handler>;

GstBusSyncReply OnMessage(GstBus*, GstMessage* message, gpointer data)
{
    for (const BusWatch::Handler& handler : *static_cast<const Handlers*>(data)) handler(message);
    return GST_BUS_DROP;
}

void DeleteHandlers(gpointer data) { delete static_cast<Handlers*>(data); }

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002u);

}  // namespace

void BusWatch::Attach(GstElement* pipeline, std::vector<Handler> handlers)
{
    Detach();
    if (!pipeline) return;
    bus_ = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus_, OnMessage, new Handlers(std::move(handlers)), DeleteHandlers);
}

void BusWatch::Detach()
{
    if (!bus_) return;
    gst_bus_set_sync_handler(bus_, nullptr, nullptr, nullptr);
    gst_object_unref(bus_);
    bus_ = nullptr;
}

HRESULT ResultOfError(const GError* error)
{
    if (!error) return E_FAIL;
    if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NOT_FOUND) return kFileNotFound;
    if (error->domain == GST_STREAM_ERROR
        && (error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND || error->code == GST_STREAM_ERROR_WRONG_TYPE))
        return VFW_E_UNSUPPORTED_STREAM;
    if ((error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND)
        || (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN))
        return VFW_E_CANNOT_RENDER;
    return E_FAIL;
}

bool IsFrom(GstMessage* message, GstElement* element)
{
    return element && GST_MESSAGE_SRC(message)
           && (GST_MESSAGE_SRC(message) == GST_OBJECT(element)
               || gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT(element)));
}

}  // namespace media
