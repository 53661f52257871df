// Building the DVD graph from the DVD values of the main settings: which build
// (manual or automatic), which renderer, the preferred decoders, the parental
// password, and the navigator's options and default languages. The pipeline
// itself is made through TDvdPipelineBuilder, so the decisions can be tested
// without GStreamer.
#pragma once

#include "platform/dvd/navigator.h"
#include "platform/wintypes.h"

#include <QString>

// The DVD values of "...\Main" that a build reads.
struct TDvdSettings {
    bool AutoGraphBuild = false;
    DWORD Audio = 0;            // language indexes (LanguageIndexToLcid)
    DWORD Subpicture = 0;
    DWORD Menu = 0;
    bool InsertLine21 = true;
    bool WindowedMode = false;
    bool CheckVMRSupport = true;
    DWORD Renderer = 0;         // 0 overlay mixer, 1 VMR-7, 2 VMR-9; others count as 0
    DWORD ParentalLevel = 0;
    DWORD ParentalCountry = 2;   // DVDPCCountry: 0 Japan, 1 the USA and Canada, 2 not given
    bool AudioDuringFfRw = false;
    QString VideoDecoder;
    QString AudioDecoder;
    DWORD UseParentalCtrl = 0;
    bool UsePasswordToUnlock = false;
    QString ParentalPassword;   // unscrambled; empty when none
};

// Reads them; a key that does not open gives the defaults. The password is
// read only with parental control and unlock-by-password on, and a stored
// value longer than 51 bytes counts as none.
TDvdSettings ReadDvdSettings();
// The password's stored bytes (REG_BINARY) to its text: unscrambled, up to its
// first zero; empty when longer than 51 bytes or empty.
QString PasswordFromStored(const QByteArray& stored);

// What the manual build asks the pipeline for.
struct TDvdBuildRequest {
    QString path;            // the volume; never lower-cased, any length
    int renderer = 0;        // the DVD renderer value after the checks: 0, 1 or 2
    bool windowed = false;   // renderer 2 in a child window
    QString audioSink;       // the chosen audio sink's factory, empty: the automatic one
};

// The pipeline side of a build. The real one plays through platform/dvd;
// tests give a fake.
class TDvdPipelineBuilder {
public:
    virtual ~TDvdPipelineBuilder() = default;
    // A volume of the first drive or mounted volume that holds one, when the
    // user named none; empty when there is none.
    virtual QString FindDvdVolume() = 0;
    // Whether a registry decoder for MPEG-2 video of a rank above none exists.
    virtual bool FindDvdVideoDecoder() = 0;
    // The decoder stored under the Filters key for kind 5 (video) or 6
    // (audio), under the given name, preferred for this build.
    virtual bool AddPreferredDecoder(int kind, const QString& name) = 0;
    // Whether the sink of DVD renderer 1 or 2 opens on this display.
    virtual bool RendererOpens(int renderer, bool windowed) = 0;
    virtual HRESULT BuildManual(const TDvdBuildRequest& request) = 0;
    // playbin on the volume; E_INVALIDARG when the path holds none.
    virtual HRESULT BuildAutomatic(const QString& path) = 0;
    virtual int VideoSinkCount() = 0;
    // Drops what was built.
    virtual void Release() = 0;
    virtual dvd::Navigator* Navigator() = 0;
};

struct TDvdBuildResult {
    HRESULT hr = E_FAIL;
    bool automatic = false;
    int renderer = 0;           // the DVD renderer value used by a manual build
    int flipTag = 0;            // MenuDVDFlip's Tag: 7 or 9 when it shows, 0 unchanged
    bool volumeUnknown = false; // the automatic build found no volume: the small window
};

// Builds the graph: the manual build unless AutoGraphBuild, the automatic
// one when the manual fails (except E_INVALIDARG, returned unchanged), and on
// success the navigator's options, parental level and languages.
TDvdBuildResult BuildDvdGraph(const TDvdSettings& settings, const QString& viewerPath, bool useSelectedAudio,
                              const QString& audioSink, TDvdPipelineBuilder& builder);

void SetDvdOptions(dvd::Navigator* navigator, bool parental, bool audioDuringFfRw);
void SelectDvdLanguages(dvd::Navigator* navigator, DWORD audio, DWORD subpicture, DWORD menu);
