// The DVD navigator: the calls the player makes to play a DVD-Video volume
// and to learn about it, with results as HRESULT numbers and times as hours,
// minutes, seconds and frames. Events are queued in order and announced by one
// posted message; the window drains them with GetEvent and FreeEventParams.
//
// One interface, two implementations: the real layer (rsndvd.h) plays the
// volume through rsndvdbin, and a scripted fake (fake_navigator.h) stands in
// for it in tests. Every call is made on the window's thread.
#pragma once

#include "platform/wintypes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

using ULONG = std::uint32_t;

class TForm;

namespace dvd {

constexpr HRESULT VFW_E_DVD_OPERATION_INHIBITED = static_cast<HRESULT>(0x80040276u);
constexpr HRESULT VFW_E_DVD_INVALIDDOMAIN = static_cast<HRESULT>(0x80040277u);
constexpr HRESULT VFW_E_DVD_NO_BUTTON = static_cast<HRESULT>(0x80040278u);
constexpr HRESULT VFW_E_DVD_DECNOTENOUGH = static_cast<HRESULT>(0x8004027Bu);
constexpr HRESULT VFW_E_DVD_STATE_WRONG_VERSION = static_cast<HRESULT>(0x80040281u);
constexpr HRESULT VFW_E_DVD_STATE_CORRUPT = static_cast<HRESULT>(0x80040282u);
constexpr HRESULT VFW_E_DVD_STATE_WRONG_DISC = static_cast<HRESULT>(0x80040283u);
constexpr HRESULT VFW_E_DVD_NO_ATTRIBUTES = static_cast<HRESULT>(0x80040288u);

// Event codes.
constexpr long EC_DVD_DOMAIN_CHANGE = 0x101;            // domain
constexpr long EC_DVD_TITLE_CHANGE = 0x102;             // title
constexpr long EC_DVD_CHAPTER_START = 0x103;            // chapter
constexpr long EC_DVD_AUDIO_STREAM_CHANGE = 0x104;      // stream (-1 none)
constexpr long EC_DVD_SUBPICTURE_STREAM_CHANGE = 0x105; // stream, shown
constexpr long EC_DVD_ANGLE_CHANGE = 0x106;             // angles, current
constexpr long EC_DVD_BUTTON_CHANGE = 0x107;            // buttons, current
constexpr long EC_DVD_VALID_UOPS_CHANGE = 0x108;        // prohibited operations
constexpr long EC_DVD_STILL_ON = 0x109;                 // has buttons, seconds (-1: until told)
constexpr long EC_DVD_STILL_OFF = 0x10A;
constexpr long EC_DVD_CURRENT_TIME = 0x10B;
constexpr long EC_DVD_ERROR = 0x10C;                    // error kind
constexpr long EC_DVD_WARNING = 0x10D;                  // warning kind
constexpr long EC_DVD_CHAPTER_AUTOSTOP = 0x10E;
constexpr long EC_DVD_NO_FP_PGC = 0x10F;
constexpr long EC_DVD_PLAYBACK_RATE_CHANGE = 0x110;     // rate x 10000
constexpr long EC_DVD_PARENTAL_LEVEL_CHANGE = 0x111;
constexpr long EC_DVD_PLAYBACK_STOPPED = 0x112;
constexpr long EC_DVD_ANGLES_AVAILABLE = 0x113;         // non-zero: more than one angle
constexpr long EC_DVD_CMD_START = 0x116;                // command id
constexpr long EC_DVD_CMD_END = 0x117;                  // command id, result
constexpr long EC_DVD_DISC_EJECTED = 0x118;
constexpr long EC_DVD_CURRENT_HMSF_TIME = 0x11A;        // packed HmsfTime, flags
// The layer's own: the closed caption on the screen changed (its text:
// DvdPlayer::CaptionText).
constexpr long EC_DVD_CAPTION_CHANGE = 0x1C0;

// Error kinds of EC_DVD_ERROR and warnings of EC_DVD_WARNING.
constexpr long DVD_ERROR_Unexpected = 1;
constexpr long DVD_ERROR_CopyProtectFail = 2;
constexpr long DVD_ERROR_LowParentalLevel = 5;
constexpr long DVD_WARNING_Open = 4;
constexpr long DVD_WARNING_Seek = 5;
constexpr long DVD_WARNING_Read = 6;

enum Domain : long {
    DVD_DOMAIN_FirstPlay = 1,
    DVD_DOMAIN_VideoManagerMenu = 2,
    DVD_DOMAIN_VideoTitleSetMenu = 3,
    DVD_DOMAIN_Title = 4,
    DVD_DOMAIN_Stop = 5,
};

enum Menu : long {
    DVD_MENU_Title = 2,
    DVD_MENU_Root = 3,
    DVD_MENU_Subpicture = 4,
    DVD_MENU_Audio = 5,
    DVD_MENU_Angle = 6,
    DVD_MENU_Chapter = 7,
};

enum RelativeButton : long {
    DVD_Relative_Upper = 1,
    DVD_Relative_Lower = 2,
    DVD_Relative_Left = 3,
    DVD_Relative_Right = 4,
};

// Command flags.
constexpr DWORD DVD_CMD_FLAG_None = 0;
constexpr DWORD DVD_CMD_FLAG_Flush = 1;
constexpr DWORD DVD_CMD_FLAG_SendEvents = 2;
constexpr DWORD DVD_CMD_FLAG_Block = 4;

// Options of SetOption.
enum Option : long {
    DVD_ResetOnStop = 1,
    DVD_NotifyParentalLevelChange = 2,
    DVD_HMSF_TimeCodeEvents = 3,
    DVD_AudioDuringFFwdRew = 4,
};

// Prohibited operations (a set bit prohibits).
constexpr DWORD UOP_FLAG_Play_Title_Or_AtTime = 0x1;
constexpr DWORD UOP_FLAG_Play_Chapter = 0x2;
constexpr DWORD UOP_FLAG_Play_Title = 0x4;
constexpr DWORD UOP_FLAG_Stop = 0x8;
constexpr DWORD UOP_FLAG_ReturnFromSubMenu = 0x10;
constexpr DWORD UOP_FLAG_Play_Chapter_Or_AtTime = 0x20;
constexpr DWORD UOP_FLAG_PlayPrev_Or_Replay_Chapter = 0x40;
constexpr DWORD UOP_FLAG_PlayNext_Chapter = 0x80;
constexpr DWORD UOP_FLAG_Play_Forwards = 0x100;
constexpr DWORD UOP_FLAG_Play_Backwards = 0x200;
constexpr DWORD UOP_FLAG_ShowMenu_Title = 0x400;
constexpr DWORD UOP_FLAG_ShowMenu_Root = 0x800;
constexpr DWORD UOP_FLAG_ShowMenu_SubPic = 0x1000;
constexpr DWORD UOP_FLAG_ShowMenu_Audio = 0x2000;
constexpr DWORD UOP_FLAG_ShowMenu_Angle = 0x4000;
constexpr DWORD UOP_FLAG_ShowMenu_Chapter = 0x8000;
constexpr DWORD UOP_FLAG_Resume = 0x10000;
constexpr DWORD UOP_FLAG_Select_Audio_Stream = 0x20000;
constexpr DWORD UOP_FLAG_Select_SubPic_Stream = 0x40000;
constexpr DWORD UOP_FLAG_Select_Angle = 0x80000;
constexpr DWORD UOP_FLAG_Select_Karaoke_Audio_Presentation_Mode = 0x100000;
constexpr DWORD UOP_FLAG_Select_Video_Mode_Preference = 0x200000;
// The disc forbids pausing; kept above the stream bits, which the navigator
// reports moved down.
constexpr DWORD UOP_FLAG_Pause_On = 0x400000;

// SelectKaraokeAudioPresentationMode's bits: 0x04, 0x08, 0x10 put channel 2,
// 3, 4 into the left speaker (output 0), 0x400, 0x800, 0x1000 into the right
// one (output 1). Channels 0 and 1 always stay on their speakers; the other
// bits are reserved and change nothing.
constexpr ULONG KARAOKE_MIX_2_LEFT = 0x04;
constexpr ULONG KARAOKE_MIX_3_LEFT = 0x08;
constexpr ULONG KARAOKE_MIX_4_LEFT = 0x10;
constexpr ULONG KARAOKE_MIX_2_RIGHT = 0x400;
constexpr ULONG KARAOKE_MIX_3_RIGHT = 0x800;
constexpr ULONG KARAOKE_MIX_4_RIGHT = 0x1000;

struct HmsfTime {
    BYTE hours = 0;
    BYTE minutes = 0;
    BYTE seconds = 0;
    BYTE frames = 0;
    // As an event parameter: hours in the lowest byte.
    LPARAM Packed() const { return LPARAM(hours | minutes << 8 | seconds << 16 | DWORD(frames) << 24); }
    static HmsfTime Unpack(LPARAM v)
    {
        return {BYTE(v & 0xFF), BYTE(v >> 8 & 0xFF), BYTE(v >> 16 & 0xFF), BYTE(v >> 24 & 0xFF)};
    }
    long TotalSeconds() const { return hours * 3600L + minutes * 60L + seconds; }
    bool operator==(const HmsfTime&) const = default;
};

struct Location {
    ULONG title = 0;
    ULONG chapter = 0;
    HmsfTime time;
};

struct VideoAttributes {
    ULONG aspectX = 4;   // display aspect
    ULONG aspectY = 3;
    ULONG width = 720;
    ULONG height = 480;
    bool letterboxed = false;
};

// One audio stream of the current title set.
struct AudioAttributes {
    QString language;     // ISO 639-1 code, empty when none
    // 0 AC-3, 1 MPEG-1, 2 MPEG-1 with dynamic range control, 3 MPEG-2,
    // 4 MPEG-2 with dynamic range control, 5 LPCM, 6 DTS, 7 SDDS, 8 other.
    int format = 0;
    int channels = 2;
    bool karaoke = false;
    // Contents of channels 2, 3 and 4 of a karaoke stream (0 none).
    int karaokeContents[3] = {0, 0, 0};
    // The language's code extension: 1 normal, 2 for the visually impaired,
    // 3 and 4 director's comments (0 none).
    int extension = 0;
};

struct SubpictureAttributes {
    QString language;     // ISO 639-1 code of a language stream, empty otherwise
    // The language's code extension: 1 normal, 2 large, 3 for children,
    // 5 to 7 the same as captions, 13 to 15 director's comments (0 none).
    int extension = 0;
};

// The saved place on a disc (title, chapter, time, streams, angle), as a byte
// stream that only this kind of navigator reads back.
struct SavedState {
    QByteArray bytes;
};

class Navigator {
public:
    virtual ~Navigator() = default;

    // ---- playback control ----
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;

    // ---- navigation (IDvdControl2) ----
    virtual HRESULT PlayTitle(ULONG title, DWORD flags) = 0;
    virtual HRESULT PlayChapterInTitle(ULONG title, ULONG chapter, DWORD flags) = 0;
    virtual HRESULT PlayAtTimeInTitle(ULONG title, const HmsfTime& time, DWORD flags) = 0;
    virtual HRESULT PlayAtTime(const HmsfTime& time, DWORD flags) = 0;
    virtual HRESULT PlayNextChapter(DWORD flags) = 0;
    virtual HRESULT PlayPrevChapter(DWORD flags) = 0;
    virtual HRESULT PlayForwards(double speed, DWORD flags) = 0;
    virtual HRESULT PlayBackwards(double speed, DWORD flags) = 0;
    virtual HRESULT ShowMenu(Menu menu, DWORD flags) = 0;
    virtual HRESULT Resume(DWORD flags) = 0;
    virtual HRESULT SelectRelativeButton(RelativeButton direction) = 0;
    virtual HRESULT ActivateButton() = 0;
    // Points in the picture's own coordinates.
    virtual HRESULT SelectAtPosition(long x, long y) = 0;
    virtual HRESULT ActivateAtPosition(long x, long y) = 0;
    virtual HRESULT SelectAngle(ULONG angle, DWORD flags) = 0;
    virtual HRESULT SelectAudioStream(ULONG stream, DWORD flags) = 0;
    virtual HRESULT SelectSubpictureStream(ULONG stream, DWORD flags) = 0;
    virtual HRESULT SetSubpictureState(bool shown, DWORD flags) = 0;
    virtual HRESULT SelectKaraokeAudioPresentationMode(ULONG mode) = 0;
    virtual HRESULT SetOption(Option option, bool on) = 0;
    virtual HRESULT SelectParentalLevel(ULONG level) = 0;
    // The country whose parental levels apply, two letters of ISO 3166
    // ("JP"); two zero bytes: the first country the disc names.
    virtual HRESULT SelectParentalCountry(const BYTE country[2]) = 0;
    // The answer to a disc's request for a higher parental level.
    virtual HRESULT AcceptParentalLevelChange(bool accept) = 0;
    virtual HRESULT SelectDefaultAudioLanguage(DWORD lcid) = 0;
    virtual HRESULT SelectDefaultSubpictureLanguage(DWORD lcid) = 0;
    virtual HRESULT SelectDefaultMenuLanguage(DWORD lcid) = 0;
    virtual HRESULT SetState(const SavedState& state, DWORD flags) = 0;

    // ---- information (IDvdInfo2) ----
    virtual HRESULT GetCurrentDomain(Domain* domain) const = 0;
    virtual HRESULT GetCurrentLocation(Location* location) const = 0;
    virtual HRESULT GetTotalTitleTime(HmsfTime* time) const = 0;
    virtual HRESULT GetNumberOfTitles(ULONG* titles) const = 0;
    virtual HRESULT GetNumberOfChapters(ULONG title, ULONG* chapters) const = 0;
    virtual HRESULT GetCurrentAudio(ULONG* streams, ULONG* current) const = 0;
    virtual HRESULT GetAudioAttributes(ULONG stream, AudioAttributes* attributes) const = 0;
    virtual HRESULT GetCurrentSubpicture(ULONG* streams, ULONG* current, bool* shown) const = 0;
    virtual HRESULT GetSubpictureAttributes(ULONG stream, SubpictureAttributes* attributes) const = 0;
    virtual HRESULT GetCurrentAngle(ULONG* angles, ULONG* current) const = 0;
    virtual HRESULT GetCurrentVideoAttributes(VideoAttributes* attributes) const = 0;
    virtual HRESULT GetCurrentUOPS(DWORD* prohibited) const = 0;
    virtual HRESULT GetDiscID(std::uint64_t* id) const = 0;
    virtual HRESULT GetDVDVolumeName(QString* name) const = 0;
    // The volume's folder as it was opened (the folder above VIDEO_TS, an
    // image file or a device node), unchanged in case and length.
    virtual HRESULT GetDVDDirectory(QString* path) const = 0;
    virtual HRESULT GetState(SavedState* state) const = 0;

    // ---- events ----
    virtual void SetNotifyWindow(TForm* window, UINT message, LPARAM lParam) = 0;
    // S_OK with an event, E_ABORT when none came within timeoutMs.
    virtual HRESULT GetEvent(long* code, LPARAM* param1, LPARAM* param2, long timeoutMs) = 0;
    virtual HRESULT FreeEventParams(long code, LPARAM param1, LPARAM param2) = 0;
};

}  // namespace dvd
