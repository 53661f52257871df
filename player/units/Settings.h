// The main settings: the values of "Software\Bruvo\ZoDVD\Main" that the main
// window reads when it is created and the ones it writes back when it is
// destroyed. Every member starts at its default, so an empty registry is a
// valid configuration.
#pragma once

#include "common/Extlist.h"
#include "platform/registry/registry.h"
#include "platform/wintypes.h"

#include <QString>

#include <span>
#include <variant>
#include <vector>

struct TMainSettings {
    int Left = 100;                       // window position (clamped by the window)
    int Top = 100;
    DWORD Volume = 100;
    DWORD SkipLength = 25;
    DWORD SeekInterval = 200;             // ms between repeated fast-forward / rewind steps
    bool DVDAutoResize = true;
    bool DVDResumeEnable = true;
    bool DVDStretchVideo = false;
    DWORD Renderer = 1;                   // 1 overlay, 2 VMR-7 windowless, 3 VMR-9 windowless
    DWORD ColorCtlWait = 100;             // ms before overlay colours apply; 0 at once
    DWORD ShowPictureLength = 5;          // seconds a still picture stays
    DWORD FastForwardLength = 2;
    DWORD MouseCtlLength = 2;
    bool UseNewASFReader = false;
    bool Mpeg2Splitter = false;           // stored as "MPEG-2 Splitter"
    bool UseSelectedAudioRenderer = false;
    DWORD LastSelectedFolder = 0;
    DWORD ViewerFontSize = 9;
    DWORD ViewerMax = 6440;
    bool Loop = false;
    bool ScreenSaver = true;
    bool MonitorPower = true;
    bool ShowPowerState = true;
    bool PowerControl = false;
    DWORD PowerState = 2;
    bool ShowHint = true;
    bool MakeNewWindow = false;
    bool SerchFiles = false;
    bool ContinuousPlay = false;
    bool ActivateWindow = false;
    bool StillSeek = true;
    bool Shuffle = false;
    bool ResumeFile = true;
    bool ResumePosition = false;
    bool OpenSpecificFile = false;
    bool ReadWmvTag = false;
    bool ShowExtension = false;
    bool ShowStatus = true;
    bool VolumeAuto = true;
    bool UseColorCtrl = false;
    bool Mpeg2OverlayMixer = true;
    bool UseRMDSF = false;
    bool UseVideoReversal = false;
    bool CheckSeekability = true;
    bool ShowLibraryIcon = true;
    bool IndexFontBold = true;
    bool LockMLWidth = false;
    bool ResetColor = true;
    bool KeepSize = false;
    DWORD LastHeight = 240;
    DWORD LastWidth = 320;
    DWORD AspectRatio = 0;                // 0 source, 1 video size ratio, 2 4:3, 3 16:9, 4 unlocked
    bool AdjustWindowSize = true;
    bool GetVideoSize = true;
    DWORD WindowSize = 3;                 // 0 selected size, 1 640x480, 2 320x240, 3 video size
    DWORD SelectedSize = 1327404;         // packed client size (0x14412C)
    bool ReadID3v2 = true;
    bool UseBookmark = true;
    bool UseViewer = true;
    DWORD IndexFontColor = 33023;         // 0x0080FF
    DWORD WindowMousePos = 0;
    bool ResetAudioMixer = true;
    int MouseDouble = 1;                  // command numbers of the mouse; -1 none
    int MouseMiddle = -1;
    int WheelUp = 12;
    int WheelDown = 11;
    int MouseX1 = -1;
    int MouseX2 = -1;
    DWORD LibrarySort = 0;
    DWORD FolderSort = 0;
    bool SetTopItem = true;
    bool KeepSortType = false;
    DWORD DefaultSort = 0;
    bool ReduceSeekingLoad = false;
    bool AdjustVBR = true;
    bool AlwaysOnTop = false;
    DWORD DriveSpeed = 0;
    DWORD ListSort = 0;                   // DefaultSort unless KeepSortType is on
    QString MPEG1Video;                   // decoder choices
    QString MPEG1Audio;
    QString MPEG2Video;
    QString MPEG2Audio;
    QString InitialDir;                   // folder of the open dialog
    QString ViewerFont;
    bool ModifyKey = false;               // the shortcut keys were changed and are stored
    bool UseArrowKeyInMenu = true;
};

// One value of the Main key: its stored name, the member it fills and how it
// is stored. Reading, writing and the options dialog all go through
// kMainSettingFields, so a name is written once.
struct TSettingField {
    enum class Kind {
        Dword,       // REG_DWORD into a DWORD member
        Int,         // REG_DWORD read as a signed int (positions, command numbers)
        Bool,        // REG_DWORD, non-zero is true; written as 0 or 1
        Text,        // REG_SZ of at most TextLimit bytes
        DecoderName, // REG_SZ read only when stored larger than one byte
    };
    // How the main window writes it back at destruction.
    enum class Save {
        No,
        Always,
        WithPosition,   // only in the normal window state (Left, Top)
        WhenNotEmpty,   // text written only when not empty (InitialDir)
    };
    const char* Name;
    Kind kind;
    std::variant<DWORD TMainSettings::*, int TMainSettings::*, bool TMainSettings::*, QString TMainSettings::*>
        Member;
    DWORD TextLimit = 0;    // Text: the largest value read, its zero included
    Save save = Save::No;
    int SaveOrder = 0;      // position among the written values (1 first); 0 when not written
};

// The 86 values of the Main key in the order they are read.
std::span<const TSettingField> MainSettingFields();

// Writes the one value stored under `name` from `s` into the open key, as
// the table stores it; false when the table has no such value.
bool WriteMainSetting(HKEY key, const TMainSettings& s, const char* name);

// The Main values as a window read them, and which of those it writes back
// the store did not hold in their written form (missing, mistyped, or odd
// values read as their defaults): the window's exit writes those whether it
// changed them or not.
struct TMainSettingsRead {
    TMainSettings values;
    std::vector<bool> unclean;   // by index in MainSettingFields()
};

// Reads the 86 values from the Main key, which is created when missing.
// Missing, mistyped or out-of-range values take their defaults. False when
// the key can be neither opened nor created; *s then holds the defaults.
// With `read`, also what the window read, for SaveMainSettings.
bool LoadMainSettings(TMainSettings* s, TMainSettingsRead* read = nullptr);

// Writes the 24 values the main window keeps (Left and Top only with
// writePosition, InitialDir only when not empty) when the Main key opens,
// in their order. With `asRead` only those the window changed since it read
// them are written, and those the store did not hold clean: a value another
// window changed meanwhile stays.
void SaveMainSettings(const TMainSettings& s, bool writePosition, const TMainSettingsRead* asRead = nullptr);


// The stored displayed file types ("*.avi;*.mpg;..."), or the default list
// when the key or the value is missing or empty.
QString ReadExtensionListValue();
