// The real DVD player's Navigator information and events (player.h): the
// answers come from what the layer observed and from the disc's own data,
// never from rsndvdbin, which may be stuck in a still.
#include "platform/dvd/player_private.h"

#include "platform/dvd/state.h"

#include <algorithm>

namespace dvd {

// ---- information ----

HRESULT DvdPlayer::GetCurrentDomain(Domain* domain) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *domain = d->o.domain;
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentLocation(Location* location) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->o.domain != DVD_DOMAIN_Title) return VFW_E_DVD_INVALIDDOMAIN;
    location->title = d->o.title;
    location->chapter = d->o.chapter;
    location->time = d->TimeAt(d->o.positionNs);
    return S_OK;
}

HRESULT DvdPlayer::GetTotalTitleTime(HmsfTime* time) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->o.domain != DVD_DOMAIN_Title) return VFW_E_DVD_INVALIDDOMAIN;
    const TitleInfo* info = d->disc.Title(d->o.title);
    if (!info) return VFW_E_DVD_INVALIDDOMAIN;
    *time = info->length;
    return S_OK;
}

HRESULT DvdPlayer::GetNumberOfTitles(ULONG* titles) const
{
    *titles = ULONG(d->disc.Titles().size());
    return S_OK;
}

HRESULT DvdPlayer::GetNumberOfChapters(ULONG title, ULONG* chapters) const
{
    const TitleInfo* info = d->disc.Title(title);
    if (!info) return E_INVALIDARG;
    *chapters = ULONG(info->chapters);
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentAudio(ULONG* streams, ULONG* current) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *streams = ULONG(d->o.audioCount);
    *current = ULONG(std::max<LONG>(d->o.audio, 0));
    return S_OK;
}

HRESULT DvdPlayer::GetAudioAttributes(ULONG stream, AudioAttributes* attributes) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const TitleInfo* info = d->disc.Title(d->o.title);
    if (!info || stream >= info->audio.size()) return E_INVALIDARG;
    *attributes = info->audio[stream];
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentSubpicture(ULONG* streams, ULONG* current, bool* shown) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *streams = ULONG(d->o.subCount);
    *current = ULONG(std::max<LONG>(d->o.subpicture, 0));
    *shown = d->o.subShown;
    return S_OK;
}

HRESULT DvdPlayer::GetSubpictureAttributes(ULONG stream, SubpictureAttributes* attributes) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const TitleInfo* info = d->disc.Title(d->o.title);
    if (!info || stream >= info->subpictures.size()) return E_INVALIDARG;
    *attributes = info->subpictures[stream];
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentAngle(ULONG* angles, ULONG* current) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *angles = d->o.angles;
    *current = d->o.angle;
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentVideoAttributes(VideoAttributes* attributes) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const TitleInfo* info = d->o.domain == DVD_DOMAIN_Title ? d->disc.Title(d->o.title) : nullptr;
    *attributes = info ? info->video : d->disc.MenuVideo();
    return S_OK;
}

HRESULT DvdPlayer::GetCurrentUOPS(DWORD* prohibited) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    *prohibited = d->CurrentUops();
    return S_OK;
}

HRESULT DvdPlayer::GetDiscID(std::uint64_t* id) const
{
    *id = d->disc.DiscId();
    return S_OK;
}

HRESULT DvdPlayer::GetDVDVolumeName(QString* name) const
{
    *name = d->disc.VolumeName();
    return S_OK;
}

HRESULT DvdPlayer::GetDVDDirectory(QString* path) const
{
    *path = d->directory;
    return S_OK;
}

HRESULT DvdPlayer::GetState(SavedState* state) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    // Only a place in a title can be saved.
    if (d->o.domain != DVD_DOMAIN_Title || d->o.title == 0) return VFW_E_DVD_INVALIDDOMAIN;
    StateRecord r;
    r.discId = d->disc.DiscId();
    r.title = d->o.title;
    r.chapter = std::max<ULONG>(d->o.chapter, 1);
    r.time = d->TimeAt(d->o.positionNs);
    r.audio = d->o.userChoseAudio ? d->o.chosenAudio : d->o.audio;
    r.subpicture = d->o.subpicture;
    // A title without such streams has none to restore: the record says so,
    // or reading it back refuses it as corrupt.
    if (const TitleInfo* info = d->disc.Title(r.title)) {
        if (r.audio >= LONG(info->audio.size())) r.audio = -1;
        if (r.subpicture >= LONG(info->subpictures.size())) r.subpicture = -1;
    }
    r.subpictureShown = d->o.subShown;
    r.angle = d->o.angle;
    state->bytes = WriteStateRecord(r);
    return S_OK;
}

// ---- events ----

void DvdPlayer::SetNotifyWindow(TForm* window, UINT message, LPARAM lParam)
{
    d->events->SetWindow(window, message, lParam);
}

HRESULT DvdPlayer::GetEvent(long* code, LPARAM* param1, LPARAM* param2, long timeoutMs)
{
    media::GraphEvent e;
    if (!d->events->Take(&e, timeoutMs)) return E_ABORT;
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

HRESULT DvdPlayer::FreeEventParams(long, LPARAM, LPARAM) { return S_OK; }

}  // namespace dvd
