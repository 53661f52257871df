// What the real DVD player sees of rsndvdbin on GStreamer's threads: the
// probe on its source (NAV packs and their buttons, stills, the menu or
// title, the streams' languages, and the user's stream choices put in place
// of the disc's), the probe on its video output (where each title begins in
// the stream's time), and its bus (end, errors, disc warnings, angles).
#include "platform/dvd/player_private.h"

#include <gst/video/video.h>

#include <dvdread/nav_read.h>

#include <dlfcn.h>

#include <string>

namespace dvd {

namespace {

// A 2048-byte sector that is a NAV pack: pack header, system header, then
// the PCI packet (private stream 2, sub-stream 0) at a fixed place.
bool IsNavPack(const guint8* s)
{
    return s[0] == 0 && s[1] == 0 && s[2] == 1 && s[3] == 0xBA && s[0x26] == 0 && s[0x27] == 0 && s[0x28] == 1 &&
           s[0x29] == 0xBF && s[0x2C] == 0;
}

}  // namespace

// ---- streaming threads ----

// rsndvdbin's video output: where each title begins in the stream's time.
GstPadProbeReturn PlayerPrivate::OnVideoOutput(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    static_cast<PlayerPrivate*>(data)->VideoOutputData(pad, info);
    return GST_PAD_PROBE_OK;
}

void PlayerPrivate::VideoOutputData(GstPad* pad, GstPadProbeInfo* info)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        o.flushedSincePicture = false;
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        if (!o.startAtNextPicture || !GST_BUFFER_PTS_IS_VALID(buffer)) return;
        g_autoptr(GstEvent) event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
        const GstSegment* segment = nullptr;
        if (event) gst_event_parse_segment(event, &segment);
        if (!segment || segment->format != GST_FORMAT_TIME) return;
        const guint64 at = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        if (at == GST_CLOCK_TIME_NONE || running == GST_CLOCK_TIME_NONE) return;
        o.nextTitleStartNs = gint64(at);
        o.nextTitleRunningNs = gint64(running);
        o.startAtNextPicture = false;
        return;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event) return;
    if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        o.StreamTimeRestarts();
        return;
    }
    if (GST_EVENT_TYPE(event) != GST_EVENT_TAG) return;
    GstTagList* tags = nullptr;
    gst_event_parse_tag(event, &tags);
    g_autofree gchar* name = nullptr;
    if (!tags || !gst_tag_list_get_string(tags, GST_TAG_TITLE, &name)) return;
    // "Title 1, Chapter 2" in titles, "DVD Menu" in menus.
    const int title = g_str_has_prefix(name, "Title ") ? int(g_ascii_strtoll(name + 6, nullptr, 10)) : 0;
    if (title == o.streamTitle) return;
    // The first title, and one a seek went to, start where their time
    // says; menus have no time of their own.
    const bool seamless = o.streamTitle >= 0 && !o.flushedSincePicture;
    o.streamTitle = title;
    o.startAtNextPicture = seamless && title > 0;
}

void PlayerPrivate::WatchVideoOutput(GstPad* pad, PlayerPrivate* d)
{
    gst_pad_add_probe(pad,
                      GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                      GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      OnVideoOutput, d, nullptr);
}

// The pictures entering the subpicture mixer: their captions.
GstPadProbeReturn PlayerPrivate::OnMixerInput(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    static_cast<PlayerPrivate*>(data)->MixerInputData(info);
    return GST_PAD_PROBE_OK;
}

void PlayerPrivate::MixerInputData(GstPadProbeInfo* info)
{
    // A seek cleared the caption shown; one half loaded goes too.
    bool changed = captionsSought.exchange(false) && captions.Reset();
    GstVideoCaptionMeta* meta = gst_buffer_get_video_caption_meta(GST_PAD_PROBE_INFO_BUFFER(info));
    if (meta && meta->caption_type == GST_VIDEO_CAPTION_TYPE_CEA708_RAW)
        changed = captions.Feed(meta->data, meta->size, true) || changed;
    else if (meta && meta->caption_type == GST_VIDEO_CAPTION_TYPE_CEA608_RAW)
        changed = captions.Feed(meta->data, meta->size, false) || changed;
    if (!changed) return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        captionText = captions.Text();
    }
    Push(EC_DVD_CAPTION_CHANGE);
}

GstPadProbeReturn PlayerPrivate::OnSourcePad(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    return static_cast<PlayerPrivate*>(data)->SourceData(pad, info);
}

GstPadProbeReturn PlayerPrivate::SourceData(GstPad* pad, GstPadProbeInfo* info)
{
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            for (gsize at = 0; at + 2048 <= map.size; at += 2048)
                if (IsNavPack(map.data + at)) NavPack(map.data + at);
            gst_buffer_unmap(buffer, &map);
        }
        PushChosenStreams(pad);
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event) return GST_PAD_PROBE_OK;
    gboolean stillState = FALSE;
    if (gst_video_event_parse_still_frame(event, &stillState)) {
        Still(stillState);
        return GST_PAD_PROBE_OK;
    }
    if (GST_EVENT_TYPE(event) == GST_EVENT_TAG) {
        GstTagList* tags = nullptr;
        gst_event_parse_tag(event, &tags);
        gchar* title = nullptr;
        if (tags && gst_tag_list_get_string(tags, GST_TAG_TITLE, &title)) {
            int number = 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                // "Title 1, Chapter 2" in titles, "DVD Menu" in menus.
                o.inMenu = !g_str_has_prefix(title, "Title");
                if (!o.inMenu) number = int(g_ascii_strtoll(title + 6, nullptr, 10));
            }
            g_free(title);
            // The source names a title before its data: checked here, it
            // is held while the title before still shows.
            if (number > 0) CheckParentalLevel(number);
        }
        return GST_PAD_PROBE_OK;
    }
    const GstStructure* s = gst_event_get_structure(event);
    if (!s || !gst_structure_has_name(s, "application/x-gst-dvd")) return GST_PAD_PROBE_OK;
    const gchar* kind = gst_structure_get_string(s, "event");
    if (!kind) return GST_PAD_PROBE_OK;
    if (g_str_equal(kind, "dvd-lang-codes")) {
        LangCodes(s);
    } else if (g_str_equal(kind, "dvd-set-audio-track")) {
        GstEvent* replaced = AudioTrack(s);
        if (replaced) {
            gst_event_unref(event);
            GST_PAD_PROBE_INFO_DATA(info) = replaced;
        }
    } else if (g_str_equal(kind, "dvd-set-subpicture-track")) {
        GstEvent* replaced = SubpictureTrack(s);
        if (replaced) {
            gst_event_unref(event);
            GST_PAD_PROBE_INFO_DATA(info) = replaced;
        }
    } else if (g_str_equal(kind, "dvd-spu-highlight")) {
        int button = 0;
        std::lock_guard<std::mutex> lock(mutex);
        o.highlighted = true;
        if (gst_structure_get_int(s, "button", &button)) o.button = button;
    } else if (g_str_equal(kind, "dvd-spu-reset-highlight")) {
        std::lock_guard<std::mutex> lock(mutex);
        o.highlighted = false;
    }
    return GST_PAD_PROBE_OK;
}

void PlayerPrivate::NavPack(const guint8* sector)
{
    pci_t pci;
    navRead_PCI(&pci, const_cast<unsigned char*>(sector + 0x2D));
    bool stillEnded, firstData;
    {
        std::lock_guard<std::mutex> lock(mutex);
        o.pci = pci;
        o.hasPci = true;
        firstData = !o.navFlowing;
        o.navFlowing = true;
        // rsndvdbin sends no data during a still and does not always
        // say that a still ended: new data ends it.
        stillEnded = o.still;
    }
    if (firstData) PollSoon();
    if (stillEnded) Still(false);
}

void PlayerPrivate::Still(bool on)
{
    bool hasButtons;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (o.still == on) return;
        o.still = on;
        hasButtons = o.hasPci && o.pci.hli.hl_gi.btn_ns > 0;
    }
    if (on)
        Push(EC_DVD_STILL_ON, hasButtons ? 1 : 0, -1);
    else
        Push(EC_DVD_STILL_OFF);
}

// A streaming thread: a title whose set needs a higher parental level than
// the one set is held, the user asked (or, without notices, refused).
void PlayerPrivate::CheckParentalLevel(int title)
{
    int needed = 0;
    bool notify;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (parental.level == 0 || title == parental.heldTitle || title == parental.admittedTitle) return;
        const TitleInfo* info = disc.Title(ULONG(title));
        if (info) needed = disc.ParentalLevelNeeded(info->titleSet, parental.country);
        if (needed <= int(parental.level)) return;
        parental.heldTitle = title;
        notify = parental.notify;
    }
    // Pipeline states change on the command thread, never on a streaming one.
    Post(DVD_CMD_FLAG_None, [this, needed, notify] {
        gst_element_set_state(pipeline, GST_STATE_PAUSED);
        if (notify)
            Push(EC_DVD_PARENTAL_LEVEL_CHANGE, needed, 0);
        else
            Push(EC_DVD_ERROR, DVD_ERROR_LowParentalLevel, 0);
        return S_OK;
    }, true);
}

void PlayerPrivate::LangCodes(const GstStructure* s)
{
    std::lock_guard<std::mutex> lock(mutex);
    o.audioCount = 0;
    o.subCount = 0;
    for (int i = 0; i < 8; ++i) {
        const std::string key = "audio-" + std::to_string(i) + "-stream";
        int physical;
        if (!gst_structure_get_int(s, key.c_str(), &physical)) break;
        o.audioPhysical[o.audioCount++] = physical;
    }
    for (int i = 0; i < 32; ++i) {
        const std::string key = "subpicture-" + std::to_string(i) + "-stream";
        int physical;
        if (!gst_structure_get_int(s, key.c_str(), &physical)) break;
        o.subPhysical[o.subCount++] = physical;
    }
}

// rsndvdbin repeats its choice at every cell: turn it into the user's.
GstEvent* PlayerPrivate::AudioTrack(const GstStructure* s)
{
    std::lock_guard<std::mutex> lock(mutex);
    int logical = 0;
    gst_structure_get_int(s, "logical-id", &logical);
    if (o.chosenAudio < 0 || o.chosenAudio >= o.audioCount || o.inMenu) {
        o.audio = logical;
        return nullptr;
    }
    o.audio = o.chosenAudio;
    return MakeAudioEvent();
}

GstEvent* PlayerPrivate::MakeAudioEvent() const
{
    GstStructure* s = gst_structure_new("application/x-gst-dvd", "event", G_TYPE_STRING, "dvd-set-audio-track",
                                        "logical-id", G_TYPE_INT, int(o.chosenAudio), "physical-id", G_TYPE_INT,
                                        o.audioPhysical[o.chosenAudio], nullptr);
    return gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM, s);
}

GstEvent* PlayerPrivate::SubpictureTrack(const GstStructure* s)
{
    std::lock_guard<std::mutex> lock(mutex);
    int logical = 0;
    gboolean forcedOnly = TRUE;
    gst_structure_get_int(s, "logical-id", &logical);
    gst_structure_get_boolean(s, "forced-only", &forcedOnly);
    const bool chosen = (o.chosenSub >= 0 && o.chosenSub < o.subCount) || o.chosenShown >= 0;
    if (!chosen || o.inMenu) {
        if (!o.inMenu) {
            o.subpicture = logical < 32 ? logical : 0;
            o.subShown = !forcedOnly && logical < 32;
        }
        return nullptr;
    }
    return MakeSubpictureEvent(logical);
}

GstEvent* PlayerPrivate::MakeSubpictureEvent(int discLogical)
{
    const LONG stream = o.chosenSub >= 0 && o.chosenSub < o.subCount ? o.chosenSub
                        : discLogical < o.subCount                   ? discLogical
                                                                     : 0;
    const bool shown = o.chosenShown >= 0 ? o.chosenShown == 1 : true;
    o.subpicture = stream;
    o.subShown = shown && o.subCount > 0;
    const int physical = o.subCount > 0 ? o.subPhysical[stream] : 0;
    GstStructure* s = gst_structure_new(
        "application/x-gst-dvd", "event", G_TYPE_STRING, "dvd-set-subpicture-track", "logical-id", G_TYPE_INT,
        int(stream), "physical-id", G_TYPE_INT, physical, "forced-only", G_TYPE_BOOLEAN, !o.subShown, nullptr);
    return gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM, s);
}

// A changed choice is sent at once, before the next data.
void PlayerPrivate::PushChosenStreams(GstPad* pad)
{
    GstEvent* audioEvent = nullptr;
    GstEvent* subEvent = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (o.inMenu) return;
        if (o.pushAudio && o.chosenAudio >= 0 && o.chosenAudio < o.audioCount) {
            o.audio = o.chosenAudio;
            audioEvent = MakeAudioEvent();
        }
        if (o.pushSub) subEvent = MakeSubpictureEvent(int(o.subpicture));
        o.pushAudio = o.pushSub = false;
    }
    if (audioEvent) gst_pad_push_event(pad, audioEvent);
    if (subEvent) {
        g_autoptr(GstStructure) copy = gst_structure_copy(gst_event_get_structure(subEvent));
        gst_pad_push_event(pad, subEvent);
        TellOverlayNow(copy);
    }
}

// The subpicture mixer queues a stream choice that comes with the data
// behind the subpicture it is drawing and acts on it only when that
// subpicture's next command is due: a subtitle shown for a minute would
// stay shown (or hidden) that long after the user's choice. A choice the
// user makes is therefore also given to the mixer out of band, which it
// applies to the very next picture; the queued copy changes nothing when
// its turn comes, as later choices follow it in the same order. The
// disc's own choices (and ours put in their place) keep their place in
// the data: they come where a title or cell starts.
void PlayerPrivate::TellOverlayNow(const GstStructure* choice)
{
    g_autoptr(GstPad) pad = OverlaySubpicturePad();
    if (!pad || !choice) return;
    gst_pad_send_event(pad, gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM_OOB, gst_structure_copy(choice)));
}

// The subpicture input of the mixer: ours in the manual build, the one
// playbin made in the automatic build (null until it made one).
GstPad* PlayerPrivate::OverlaySubpicturePad()
{
    if (spu) return gst_element_get_static_pad(spu, "subpicture");
    if (!pipeline) return nullptr;
    GstPad* found = nullptr;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElement* e = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* f = gst_element_get_factory(e);
        if (f && g_str_equal(gst_plugin_feature_get_name(f), "dvdspu"))
            found = gst_element_get_static_pad(e, "subpicture");
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

// ---- the bus ----

void PlayerPrivate::OnBus(GstMessage* message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS: {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (o.eos) return;
            o.eos = true;
            o.domain = DVD_DOMAIN_Stop;
            o.reportedDomain = DVD_DOMAIN_Stop;
        }
        Push(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Stop, 0);
        Push(EC_DVD_PLAYBACK_STOPPED);
        break;
    }
    case GST_MESSAGE_ERROR: {
        g_autoptr(GError) error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const long kind = ErrorKind(error);
        // A disc that cannot be read and is not scrambled is damaged: the
        // read warning tells the user why, and the error that ends the
        // disc says nothing more.
        if (kind == 0) {
            Push(EC_DVD_WARNING, DVD_WARNING_Read, 0);
            Push(EC_DVD_ERROR, 0, 0);
        } else {
            Push(EC_DVD_ERROR, kind, 0);
        }
        break;
    }
    case GST_MESSAGE_WARNING: {
        g_autoptr(GstObject) navigator = NavigatorBin();
        const long kind = DiscWarningKind(message, navigator);
        if (kind != 0) Push(EC_DVD_WARNING, kind, 0);
        break;
    }
    case GST_MESSAGE_ELEMENT: {
        if (gst_navigation_message_get_type(message) == GST_NAVIGATION_MESSAGE_ANGLES_CHANGED) {
            guint angle = 1, angles = 1;
            gst_navigation_message_parse_angles_changed(message, &angle, &angles);
            bool changed;
            {
                std::lock_guard<std::mutex> lock(mutex);
                changed = o.angle != angle || o.angles != angles;
                o.angle = angle;
                o.angles = angles;
            }
            if (changed) {
                Push(EC_DVD_ANGLES_AVAILABLE, angles > 1 ? 1 : 0, 0);
                Push(EC_DVD_ANGLE_CHANGE, LPARAM(angles), LPARAM(angle));
            }
        }
        break;
    }
    default:
        break;
    }
}

// A read error of a scrambled disc without a descrambler library is error
// 2 (the key exchange failed); of any other disc it is no error of the
// navigator's but a read warning, 0 here. Any other stream error is error 1. Whether the disc is scrambled is read once, at its first
// read error.
long PlayerPrivate::ErrorKind(const GError* error)
{
    if (!error || error->domain != GST_RESOURCE_ERROR || error->code != GST_RESOURCE_ERROR_READ)
        return DVD_ERROR_Unexpected;
    static const bool descrambler = [] {
        void* library = dlopen("libdvdcss.so.2", RTLD_LAZY | RTLD_LOCAL);
        if (library) dlclose(library);
        return library != nullptr;
    }();
    if (scrambled < 0) scrambled = DiscInfo::IsScrambled(directory) ? 1 : 0;
    if (scrambled == 1 && !descrambler) return DVD_ERROR_CopyProtectFail;
    return 0;
}

}  // namespace dvd
