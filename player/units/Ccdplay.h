// The audio-CD player: plays a disc through the CD-audio device and turns it
// into its host's play list, one entry per track, titled from CD-TEXT, from
// cdplayer.ini, from the CD database or as "TRACK n". It sees the window
// only through ICdHost. The main window creates one per opened disc
// (StartAudioCd), drives it from its transport, its CDTimer and
// MM_MCINOTIFY, and deletes it when the media close. Main thread.
#pragma once

#include "platform/cdrom/cdaudio.h"
#include "player/units/Audiomixer.h"
#include "player/units/Cddblookup.h"
#include "player/units/Cdhost.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QMenu;
class QAction;

// The "CD-TEXT" sub-menu's tag, and the language names of CD-TEXT codes.
inline constexpr int kCdTextMenuTag = 192;
// The Japanese name of a CD-TEXT language code; "" for a code not in the table.
QString CdTextLanguageName(int code);

class CCDPlay {
public:
    // Reads the five settings from the `Main` key (their defaults when it
    // cannot be opened).
    explicit CCDPlay(ICdHost& host);
    // Stops and closes the device, takes the "CD-TEXT" menu away and gives
    // the host its file-mode controls back.
    ~CCDPlay();
    CCDPlay(const CCDPlay&) = delete;
    CCDPlay& operator=(const CCDPlay&) = delete;

    // Opens `drive` (device node, mount point or cue sheet, taken whole),
    // fills the play list and starts playing; 1 on success, 0 when the
    // device cannot be opened, its track count cannot be read or the first
    // play fails.
    int Open(const QString& drive);
    // Plays from a track (1-based); 1 on success.
    int PlayTrack(int track);
    int Resume();
    void TogglePause();
    void Stop();
    void OnTimer();
    void OnTrackEnd();
    void ShowTrackInfo();
    // The titles of CD-TEXT block `block`; true when the disc has its TOC
    // and CD-TEXT. On failure the play list and the disc's names stay.
    bool ReadCdText(const QString& drive, int trackCount, int block);
    void OnLanguageClick(QAction* item);
    bool ReadCdIni(int trackCount);
    // Starts looking the disc up in the CD database through zodlg, off the
    // window's thread; the titles, or the message of a failure, come when it
    // ends. A look-up running is cancelled by the next, by Stop and when the
    // disc closes.
    void LookUpCdDatabase(int trackCount);
    // The look-up of the "CDDB" menu: when it succeeds the current entry is
    // shown by its new titles.
    void QueryCdDatabase();
    bool LookingUp() const { return lookup_ && lookup_->Running(); }
    void SaveCdIni();
    void CloseDevice();
    // One-track play switched while the disc plays: the play range follows
    // it. False when the device refuses the new play.
    bool ApplyOnePlay();

    // The window's MM_MCINOTIFY: a suppressed notice only ends the suppression.
    void OnNotify();

    // Settings (the options dialog may change them on the live object).
    bool autoConnect = false;
    bool readCdText = true;
    bool searchCdIni = false;
    bool iniAutoSave = false;
    bool convertToHalf = true;

    bool suppressNotify = false;
    QString artist;
    QString albumTitle;
    std::uint32_t discId = 0;
    QString queryCommand;

    std::uint32_t DeviceId() const { return device_ ? device_->DeviceId() : 0; }
    cdrom::AudioDevice* Device() const { return device_.get(); }
    QMenu* LanguageMenu() const { return languageMenu_; }

    // Tests give the player their own device.
    using DeviceFactory = std::function<std::unique_ptr<cdrom::AudioDevice>()>;
    static void SetDeviceFactory(DeviceFactory factory);

private:
    // Plays from `fromMs` by the play range rule: up to the start of track
    // `track` + 1 when one-track play or shuffle is on and that track
    // exists, else to the end of the disc.
    bool PlayRange(std::uint32_t fromMs, int track);
    void FillDefaultTracks(int trackCount);
    // One radio item per language block present (8 codes, 0 = absent).
    void AddLanguageMenu(const std::uint8_t* languages);
    void RemoveLanguageMenu();
    void CheckLanguage(int block);
    QString Converted(const QString& text, bool japanese) const;
    // LblTitle and LblArtist for the current entry.
    void ShowLabels();
    void RefreshLayout();
    // What follows a look-up once it ended: 1 when it titled the disc.
    enum class TLookUpFor { Open, Menu, Call };
    void StartLookUp(int trackCount, TLookUpFor purpose);
    int TakeLookUpAnswer(const TCddbAnswer& answer, int trackCount);
    void ShowQueriedEntry(int index);

    // The device's volume as the mixer's CD line (0..65535 both).
    struct TDeviceVolume : CdVolumeControl {
        cdrom::AudioDevice* device = nullptr;
        bool GetVolume(long* value) const override
        {
            if (!device || !value) return false;
            *value = device->Volume();
            return true;
        }
        bool SetVolume(long value) override { return device && device->SetVolume(static_cast<int>(value)); }
    };

    ICdHost& host_;
    std::unique_ptr<cdrom::AudioDevice> device_;
    TDeviceVolume volumeControl_;
    QPointer<QMenu> languageMenu_;
    int checkedBlock_ = -1;
    QString drive_;   // the drive as the device opened it; empty once it closed
    std::unique_ptr<TCddbLookup> lookup_;
};
