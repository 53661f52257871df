#include "units/Dvdgraph.h"

#include "units/Languages.h"
#include "common/Reghelp.h"

#include "common/scramble.h"

namespace {

// A stored lock password holds at most this many bytes.
constexpr int kMaxPasswordBytes = 51;

}  // namespace

QString PasswordFromStored(const QByteArray& stored)
{
    QByteArray text = stored;
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0) text.truncate(zero);
    if (text.isEmpty() || text.size() > kMaxPasswordBytes) return {};
    UnscramblePassword(text.data());
    return QString::fromUtf8(text);
}

TDvdSettings ReadDvdSettings()
{
    TDvdSettings s;
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ);
    if (!key) return s;
    HKEY k = key.get();
    s.AutoGraphBuild = RegReadBool(k, "DvdAutoGraphBuild", false);
    s.Audio = RegReadDword(k, "DVDAudio", 0);
    s.Subpicture = RegReadDword(k, "DVDSubpicture", 0);
    s.Menu = RegReadDword(k, "DVDMenu", 0);
    s.InsertLine21 = RegReadBool(k, "InsertLine21", true);
    s.WindowedMode = RegReadBool(k, "DVDWindowedMode", false);
    s.CheckVMRSupport = RegReadBool(k, "DVDCheckVMRSupport", true);
    s.Renderer = RegReadDword(k, "DVDRenderer", 0);
    s.ParentalLevel = RegReadDword(k, "ParentalLevel", 0);
    s.AudioDuringFfRw = RegReadBool(k, "DVDAudioDuringFfRw", false);
    RegReadString(k, "DVDVideoDecoder", &s.VideoDecoder, 128);
    RegReadString(k, "DVDAudioDecoder", &s.AudioDecoder, 128);
    s.UseParentalCtrl = RegReadDword(k, "UseParentalCtrl", 0);
    if (s.UseParentalCtrl == 0) return s;
    s.ParentalCountry = RegReadDword(k, "DVDPCCountry", 2);
    s.UsePasswordToUnlock = RegReadBool(k, "UsePasswordToUnlock", false);
    if (!s.UsePasswordToUnlock) return s;
    DWORD type = 0, size = 0;
    if (RegQueryValueEx(k, "ParentalLockPassword", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size == 0 || size > kMaxPasswordBytes)
        return s;   // missing, or too long to be a password
    QByteArray stored(int(size), '\0');
    if (RegQueryValueEx(k, "ParentalLockPassword", nullptr, &type, reinterpret_cast<BYTE*>(stored.data()), &size) ==
        ERROR_SUCCESS)
        s.ParentalPassword = PasswordFromStored(stored.left(int(size)));
    return s;
}

void SetDvdOptions(dvd::Navigator* navigator, bool parental, bool audioDuringFfRw)
{
    if (!navigator) return;
    // Stop pauses and keeps the place.
    navigator->SetOption(dvd::DVD_ResetOnStop, false);
    navigator->SetOption(dvd::DVD_NotifyParentalLevelChange, parental);
    navigator->SetOption(dvd::DVD_HMSF_TimeCodeEvents, true);
    navigator->SetOption(dvd::DVD_AudioDuringFFwdRew, audioDuringFfRw);
}

void SelectDvdLanguages(dvd::Navigator* navigator, DWORD audio, DWORD subpicture, DWORD menu)
{
    if (!navigator) return;
    if (const DWORD lcid = LanguageIndexToLcid(int(audio)).Lcid) navigator->SelectDefaultAudioLanguage(lcid);
    if (const DWORD lcid = LanguageIndexToLcid(int(subpicture)).Lcid)
        navigator->SelectDefaultSubpictureLanguage(lcid);
    if (const DWORD lcid = LanguageIndexToLcid(int(menu)).Lcid) navigator->SelectDefaultMenuLanguage(lcid);
}

namespace {

// The tail both builds share.
void ConfigureNavigator(const TDvdSettings& s, dvd::Navigator* navigator)
{
    SetDvdOptions(navigator, s.UseParentalCtrl != 0, s.AudioDuringFfRw);
    if (s.UseParentalCtrl != 0 && s.ParentalLevel > 0 && navigator) {
        // The country first: the level counts in its table.
        static const BYTE countries[][2] = {{'J', 'P'}, {'U', 'S'}, {0, 0}};
        navigator->SelectParentalCountry(countries[s.ParentalCountry < 2 ? s.ParentalCountry : 2]);
        navigator->SelectParentalLevel(s.ParentalLevel);
    }
    SelectDvdLanguages(navigator, s.Audio, s.Subpicture, s.Menu);
}

TDvdBuildResult Automatic(const TDvdSettings& s, const QString& path, TDvdPipelineBuilder& builder)
{
    TDvdBuildResult r;
    r.automatic = true;
    // Without an MPEG-2 video decoder no build can play the disc.
    if (!builder.FindDvdVideoDecoder()) {
        r.hr = dvd::VFW_E_DVD_DECNOTENOUGH;
        return r;
    }
    r.hr = builder.BuildAutomatic(path);
    if (r.hr == E_INVALIDARG) r.volumeUnknown = true;
    if (FAILED(r.hr)) {
        builder.Release();
        return r;
    }
    ConfigureNavigator(s, builder.Navigator());
    return r;
}

}  // namespace

TDvdBuildResult BuildDvdGraph(const TDvdSettings& s, const QString& viewerPath, bool useSelectedAudio,
                              const QString& audioSink, TDvdPipelineBuilder& builder)
{
    // The path keeps its case and length: Linux paths are case-sensitive.
    const QString path = viewerPath.isEmpty() ? builder.FindDvdVolume() : viewerPath;
    if (s.AutoGraphBuild) return Automatic(s, path, builder);

    // The video decoder: the preferred one by name, else any ranked one.
    const bool decoder = s.VideoDecoder.isEmpty() ? builder.FindDvdVideoDecoder()
                                                  : builder.AddPreferredDecoder(5, s.VideoDecoder);
    if (!decoder) return Automatic(s, path, builder);
    if (!s.AudioDecoder.isEmpty()) builder.AddPreferredDecoder(6, s.AudioDecoder);

    TDvdBuildResult r;
    r.renderer = s.Renderer <= 2 ? int(s.Renderer) : 0;
    // A renderer whose sink cannot open on this display gives way to the
    // overlay path.
    if (s.CheckVMRSupport && (r.renderer == 1 || r.renderer == 2) && !builder.RendererOpens(r.renderer, s.WindowedMode))
        r.renderer = 0;
    TDvdBuildRequest request;
    request.path = path;
    request.renderer = r.renderer;
    request.windowed = r.renderer == 2 && s.WindowedMode;
    if (useSelectedAudio) request.audioSink = audioSink;
    r.hr = builder.BuildManual(request);
    // Two video sinks: the graph is unusable.
    if (SUCCEEDED(r.hr) && builder.VideoSinkCount() >= 2) r.hr = E_FAIL;
    if (FAILED(r.hr)) {
        builder.Release();
        if (r.hr == E_INVALIDARG) return r;   // the folder holds no DVD volume
        return Automatic(s, path, builder);
    }
    if (r.renderer == 1 && s.InsertLine21) r.flipTag = 7;
    if (r.renderer == 2) r.flipTag = 9;
    ConfigureNavigator(s, builder.Navigator());
    return r;
}
