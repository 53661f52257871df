// A scripted navigator for tests: records every call by name and arguments,
// answers from fields the test sets, and raises the events the test asks for
// through the same queue and announcement as the real layer.
#pragma once

#include "platform/dvd/navigator.h"
#include "platform/media/events.h"

#include <QMap>
#include <QStringList>

#include <memory>

namespace dvd {

class FakeNavigator : public Navigator {
public:
    FakeNavigator();
    ~FakeNavigator() override;

    // ---- the script ----
    QStringList calls;                 // "PlayTitle(2,1)", in order
    QMap<QString, HRESULT> results;    // by call name; S_OK when absent
    Domain domain = DVD_DOMAIN_Title;
    Location location;
    HmsfTime titleLength;
    ULONG titles = 1;
    ULONG chapters = 1;
    ULONG audioStreams = 1, audio = 0;
    ULONG subStreams = 0, subpicture = 0;
    bool subShown = false;
    ULONG angles = 1, angle = 1;
    DWORD uops = 0;
    std::uint64_t discId = 0;
    QString volumeName;
    VideoAttributes video;
    std::vector<AudioAttributes> audioAttributes;
    std::vector<SubpictureAttributes> subAttributes;
    SavedState state;
    QString directory;                 // GetDVDDirectory's answer
    void Raise(long code, LPARAM param1 = 0, LPARAM param2 = 0) { events_->Push(code, param1, param2); }
    bool Called(const QString& prefix) const;

    // ---- Navigator ----
    HRESULT Run() override { return Record("Run"); }
    HRESULT Pause() override { return Record("Pause"); }
    HRESULT Stop() override { return Record("Stop"); }
    HRESULT PlayTitle(ULONG title, DWORD flags) override { return Record("PlayTitle", title, flags); }
    HRESULT PlayChapterInTitle(ULONG t, ULONG c, DWORD flags) override
    {
        return Record("PlayChapterInTitle", t, c, flags);
    }
    HRESULT PlayAtTimeInTitle(ULONG t, const HmsfTime& time, DWORD flags) override
    {
        return Record("PlayAtTimeInTitle", t, time.hours, time.minutes, time.seconds, time.frames, flags);
    }
    HRESULT PlayAtTime(const HmsfTime& time, DWORD flags) override
    {
        return Record("PlayAtTime", time.hours, time.minutes, time.seconds, time.frames, flags);
    }
    HRESULT PlayNextChapter(DWORD flags) override { return Record("PlayNextChapter", flags); }
    HRESULT PlayPrevChapter(DWORD flags) override { return Record("PlayPrevChapter", flags); }
    HRESULT PlayForwards(double speed, DWORD flags) override { return Record("PlayForwards", speed, flags); }
    HRESULT PlayBackwards(double speed, DWORD flags) override { return Record("PlayBackwards", speed, flags); }
    HRESULT ShowMenu(Menu menu, DWORD flags) override { return Record("ShowMenu", long(menu), flags); }
    HRESULT Resume(DWORD flags) override { return Record("Resume", flags); }
    HRESULT SelectRelativeButton(RelativeButton d) override { return Record("SelectRelativeButton", long(d)); }
    HRESULT ActivateButton() override { return Record("ActivateButton"); }
    HRESULT SelectAtPosition(long x, long y) override { return Record("SelectAtPosition", x, y); }
    HRESULT ActivateAtPosition(long x, long y) override
    {
        return Record("ActivateAtPosition", x, y);
    }
    HRESULT SelectAngle(ULONG a, DWORD flags) override { return Record("SelectAngle", a, flags); }
    HRESULT SelectAudioStream(ULONG s, DWORD flags) override { return Record("SelectAudioStream", s, flags); }
    HRESULT SelectSubpictureStream(ULONG s, DWORD flags) override
    {
        return Record("SelectSubpictureStream", s, flags);
    }
    HRESULT SetSubpictureState(bool shown, DWORD flags) override
    {
        return Record("SetSubpictureState", int(shown), flags);
    }
    HRESULT SelectKaraokeAudioPresentationMode(ULONG mode) override
    {
        return Record("SelectKaraokeAudioPresentationMode", mode);
    }
    HRESULT SetOption(Option option, bool on) override { return Record("SetOption", long(option), int(on)); }
    HRESULT SelectParentalLevel(ULONG level) override { return Record("SelectParentalLevel", level); }
    HRESULT SelectParentalCountry(const BYTE country[2]) override
    {
        return Record("SelectParentalCountry", country[0] << 8 | country[1]);
    }
    HRESULT AcceptParentalLevelChange(bool accept) override
    {
        return Record("AcceptParentalLevelChange", int(accept));
    }
    HRESULT SelectDefaultAudioLanguage(DWORD lcid) override { return Record("SelectDefaultAudioLanguage", lcid); }
    HRESULT SelectDefaultSubpictureLanguage(DWORD lcid) override
    {
        return Record("SelectDefaultSubpictureLanguage", lcid);
    }
    HRESULT SelectDefaultMenuLanguage(DWORD lcid) override { return Record("SelectDefaultMenuLanguage", lcid); }
    HRESULT SetState(const SavedState& s, DWORD flags) override
    {
        state = s;
        return Record("SetState", flags);
    }
    HRESULT GetCurrentDomain(Domain* d) const override;
    HRESULT GetCurrentLocation(Location* l) const override;
    HRESULT GetTotalTitleTime(HmsfTime* t) const override;
    HRESULT GetNumberOfTitles(ULONG* n) const override;
    HRESULT GetNumberOfChapters(ULONG title, ULONG* n) const override;
    HRESULT GetCurrentAudio(ULONG* streams, ULONG* current) const override;
    HRESULT GetAudioAttributes(ULONG stream, AudioAttributes* a) const override;
    HRESULT GetCurrentSubpicture(ULONG* streams, ULONG* current, bool* shown) const override;
    HRESULT GetSubpictureAttributes(ULONG stream, SubpictureAttributes* a) const override;
    HRESULT GetCurrentAngle(ULONG* n, ULONG* current) const override;
    HRESULT GetCurrentVideoAttributes(VideoAttributes* a) const override;
    HRESULT GetCurrentUOPS(DWORD* u) const override;
    HRESULT GetDiscID(std::uint64_t* id) const override;
    HRESULT GetDVDVolumeName(QString* name) const override;
    HRESULT GetDVDDirectory(QString* path) const override;
    HRESULT GetState(SavedState* s) const override;
    void SetNotifyWindow(TForm* window, UINT message, LPARAM lParam) override;
    HRESULT GetEvent(long* code, LPARAM* p1, LPARAM* p2, long timeoutMs) override;
    HRESULT FreeEventParams(long, LPARAM, LPARAM) override { return S_OK; }

private:
    template <class... Args>
    HRESULT Record(const QString& name, Args... args)
    {
        QStringList parts;
        if constexpr (sizeof...(args) > 0) (parts << ... << QString::number(args));
        calls << name + "(" + parts.join(",") + ")";
        return Answer(name);
    }
    HRESULT Answer(const QString& name) const { return results.value(name, S_OK); }
    std::unique_ptr<media::EventQueue> events_;
};

}  // namespace dvd
