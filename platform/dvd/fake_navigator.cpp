#include "platform/dvd/fake_navigator.h"

namespace dvd {

FakeNavigator::FakeNavigator() : events_(std::make_unique<media::EventQueue>()) {}
FakeNavigator::~FakeNavigator() = default;

bool FakeNavigator::Called(const QString& prefix) const
{
    for (const QString& c : calls)
        if (c.startsWith(prefix)) return true;
    return false;
}

HRESULT FakeNavigator::GetCurrentDomain(Domain* d) const
{
    *d = domain;
    return Answer("GetCurrentDomain");
}
HRESULT FakeNavigator::GetCurrentLocation(Location* l) const
{
    *l = location;
    return Answer("GetCurrentLocation");
}
HRESULT FakeNavigator::GetTotalTitleTime(HmsfTime* t) const
{
    *t = titleLength;
    return Answer("GetTotalTitleTime");
}
HRESULT FakeNavigator::GetNumberOfTitles(ULONG* n) const
{
    *n = titles;
    return Answer("GetNumberOfTitles");
}
HRESULT FakeNavigator::GetNumberOfChapters(ULONG, ULONG* n) const
{
    *n = chapters;
    return Answer("GetNumberOfChapters");
}
HRESULT FakeNavigator::GetCurrentAudio(ULONG* streams, ULONG* current) const
{
    *streams = audioStreams;
    *current = audio;
    return Answer("GetCurrentAudio");
}
HRESULT FakeNavigator::GetAudioAttributes(ULONG stream, AudioAttributes* a) const
{
    if (stream >= audioAttributes.size()) return E_INVALIDARG;
    *a = audioAttributes[stream];
    return Answer("GetAudioAttributes");
}
HRESULT FakeNavigator::GetCurrentSubpicture(ULONG* streams, ULONG* current, bool* shown) const
{
    *streams = subStreams;
    *current = subpicture;
    *shown = subShown;
    return Answer("GetCurrentSubpicture");
}
HRESULT FakeNavigator::GetSubpictureAttributes(ULONG stream, SubpictureAttributes* a) const
{
    if (stream >= subAttributes.size()) return E_INVALIDARG;
    *a = subAttributes[stream];
    return Answer("GetSubpictureAttributes");
}
HRESULT FakeNavigator::GetCurrentAngle(ULONG* n, ULONG* current) const
{
    *n = angles;
    *current = angle;
    return Answer("GetCurrentAngle");
}
HRESULT FakeNavigator::GetCurrentVideoAttributes(VideoAttributes* a) const
{
    *a = video;
    return Answer("GetCurrentVideoAttributes");
}
HRESULT FakeNavigator::GetCurrentUOPS(DWORD* u) const
{
    *u = uops;
    return Answer("GetCurrentUOPS");
}
HRESULT FakeNavigator::GetDiscID(std::uint64_t* id) const
{
    *id = discId;
    return Answer("GetDiscID");
}
HRESULT FakeNavigator::GetDVDVolumeName(QString* name) const
{
    *name = volumeName;
    return Answer("GetDVDVolumeName");
}
HRESULT FakeNavigator::GetDVDDirectory(QString* path) const
{
    *path = directory;
    return Answer("GetDVDDirectory");
}
HRESULT FakeNavigator::GetState(SavedState* s) const
{
    *s = state;
    return Answer("GetState");
}
void FakeNavigator::SetNotifyWindow(TForm* window, UINT message, LPARAM lParam)
{
    events_->SetWindow(window, message, lParam);
}
HRESULT FakeNavigator::GetEvent(long* code, LPARAM* p1, LPARAM* p2, long timeoutMs)
{
    media::GraphEvent e;
    if (!events_->Take(&e, timeoutMs)) return E_ABORT;
    *code = e.code;
    *p1 = e.param1;
    *p2 = e.param2;
    return S_OK;
}

}  // namespace dvd
