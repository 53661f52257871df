// What the audio-CD player needs of the window that shows it: the play list
// as the disc's tracks, the transport's display (play state, seek bar, time
// texts, title and artist), the controls that differ between a disc and a
// file, the two CD timers, the mixer's CD line and the "CD-TEXT" menu. The
// main window implements it; a test may record it instead.
#pragma once

#include "player/units/Playlist.h"
#include "player/units/Playstate.h"

#include <QString>

class CdVolumeControl;
class QMenu;
class TForm;

class ICdHost {
public:
    virtual ~ICdHost() = default;

    // ---- the play list: one entry per track ----
    virtual void ClearTracks() = 0;
    virtual void AddTrack(const TPlayListItem& entry) = 0;
    // Another title for a track already listed; the current entry and the
    // shuffle order stay.
    virtual void ReplaceTrack(int index, const TPlayListItem& entry) = 0;
    virtual int TrackCount() const = 0;
    // `index` must lie inside the list.
    virtual TPlayListItem Track(int index) const = 0;
    // The current entry (0-based; track number - 1).
    virtual int TrackIndex() const = 0;
    virtual void SetTrackIndex(int index) = 0;
    // A new random order of the tracks; its first entry, or -1 when the list
    // is too short to have an order.
    virtual int StartShuffleOrder() = 0;
    // Whether the shuffle order has entries after the current one.
    virtual bool ShuffleEntriesLeft() const = 0;
    // Opens the entry after the current one, as the window's "next" does.
    virtual void PlayNextEntry() = 0;

    // ---- how the disc is to be played, as the user set it ----
    virtual bool OnePlayOn() const = 0;
    virtual bool ShuffleOn() const = 0;
    virtual bool LoopOn() const = 0;
    // An after-playback power action waits for the end.
    virtual bool PowerActionWaiting() const = 0;
    // The disc has ended with that action waiting: it starts.
    virtual void StartPowerAction() = 0;

    // ---- the transport's display ----
    // psStopped, psPaused, psPlaying as the window shows them.
    virtual int ShownPlayState() const = 0;
    virtual void ShowPlayState(int state) = 0;
    // The opened item has no picture.
    virtual void MarkAudioOnly() = 0;
    // The seek bar in tenths of a second, moved by the program.
    virtual void SetSeekBar(int value) = 0;
    virtual int SeekBarValue() const = 0;
    virtual int SeekBarMaximum() const = 0;
    // The user holds the bar's handle.
    virtual bool SeekBarHeld() const = 0;
    // The user put the bar somewhere since the last clear: the disc is to play from there.
    virtual bool SeekBarMoved() const = 0;
    virtual void ClearSeekBarMoved() = 0;
    // The current track's length: the seek bar's range (enabled) and its text.
    virtual void ShowTrackLength(int seekBarMaximum, const QString& text) = 0;
    // The elapsed time of the track, in whole seconds.
    virtual void ShowElapsed(int seconds) = 0;
    virtual void SetTimeText(const QString& text) = 0;
    virtual void ShowTitle(const QString& title) = 0;
    // The performer and the album title, as one line.
    virtual void ShowArtistLine(const QString& line) = 0;
    // The title and artist lines are shown and the window is sized for them.
    virtual void LayOutForDiscTexts() = 0;

    // ---- the controls of the disc mode and of the file mode ----
    // Track hints, the CD menu items, no window-size, aspect or full-screen
    // items, no frame steps, skips or fast winding; next and previous only
    // for a disc of two tracks or more.
    virtual void ShowCdControls(int trackCount) = 0;
    // All of that back as files have it, the volume bar showing the files'
    // volume again.
    virtual void ShowFileControls() = 0;
    // The volume bar (0..100) shows the disc's own volume.
    virtual void SetVolumeBar(int percent) = 0;
    // The titles may now be saved to cdplayer.ini.
    virtual void EnableSaveTitles() = 0;
    // The "CD-TEXT" sub-menu of the main pop-up menu, made and placed by the
    // host; RemoveCdTextMenu takes it away and frees it.
    virtual QMenu* AddCdTextMenu() = 0;
    virtual void RemoveCdTextMenu(QMenu* menu) = 0;

    // ---- timers ----
    // The position timer (the player's OnTimer).
    virtual void SetCdTimer(bool on) = 0;
    virtual bool CdTimerActive() const = 0;
    // After `ms` the player's suppression of the device's notices ends.
    virtual void StartNotifyTimer(unsigned ms) = 0;

    // ---- the device's neighbours ----
    // The window the device posts MM_MCINOTIFY to (null: no notices).
    virtual TForm* NoticeWindow() = 0;
    // The mixer's CD line is the device's own volume while one is set; null
    // lets go of the mixer first (ResetAudioMixer restores the line while
    // the device still answers).
    virtual void SetCdVolumeControl(CdVolumeControl* control) = 0;
    // A message to the user, in an information box.
    virtual void Inform(const QString& text) = 0;
};
