// The CD-audio device: plays an audio CD (or a disc image) from one address
// to another and tells the window when a play ends.
//
// Addresses are either milliseconds on the disc's own scale (the first track
// normally starts at 2,000 ms, after the 2-second lead-in) or packed
// track/minute/second/frame values (the track in the low byte, then minutes,
// seconds and frames), as chosen with SetTimeFormat.
//
// A play issued with notify ends with exactly one MM_MCINOTIFY posted to the
// notify window: wParam kNotifySuccessful when it reached its stop position
// or the end of the disc, kNotifyAborted when a later play, a pause, a stop
// or the close ended it first, kNotifyFailure on a read error; lParam is the
// device id. Main thread; nothing runs on another thread except what the
// GStreamer implementation keeps to itself.
#pragma once

#include "platform/forms/forms.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace cdrom {

enum class TimeFormat { Milliseconds, Tmsf };

// wParam of MM_MCINOTIFY.
inline constexpr WPARAM kNotifySuccessful = 1;
inline constexpr WPARAM kNotifySuperseded = 2;
inline constexpr WPARAM kNotifyAborted = 4;
inline constexpr WPARAM kNotifyFailure = 8;

inline constexpr int kMaxVolume = 65535;

inline std::uint32_t MakeTmsf(int track, int minutes, int seconds, int frames)
{
    return static_cast<std::uint32_t>(track & 0xFF) | (static_cast<std::uint32_t>(minutes & 0xFF) << 8) |
           (static_cast<std::uint32_t>(seconds & 0xFF) << 16) | (static_cast<std::uint32_t>(frames & 0xFF) << 24);
}
inline int TmsfTrack(std::uint32_t tmsf) { return tmsf & 0xFF; }
inline int TmsfMinutes(std::uint32_t tmsf) { return (tmsf >> 8) & 0xFF; }
inline int TmsfSeconds(std::uint32_t tmsf) { return (tmsf >> 16) & 0xFF; }
inline int TmsfFrames(std::uint32_t tmsf) { return (tmsf >> 24) & 0xFF; }

class AudioDevice {
public:
    virtual ~AudioDevice() = default;

    // Opens the drive (device node, link, mount point or cue sheet) and
    // reads its table of contents; false when it holds no audio track.
    // Milliseconds until SetTimeFormat says otherwise; volume full.
    virtual bool Open(const QString& drive, TForm* notifyWindow) = 0;
    // Stops (an outstanding notify is aborted) and releases the drive.
    virtual bool Close() = 0;
    virtual std::uint32_t DeviceId() const = 0;

    virtual bool SetTimeFormat(TimeFormat format) = 0;
    virtual bool TrackCount(int* count) = 0;
    // The position now, in the time format.
    virtual bool Position(std::uint32_t* position) = 0;
    virtual bool CurrentTrack(int* track) = 0;
    // The start of a track (1-based), in the time format.
    virtual bool TrackPosition(int track, std::uint32_t* position) = 0;
    // A track's length: milliseconds, or minutes/seconds/frames packed as
    // in the TMSF form without its track byte.
    virtual bool TrackLength(int track, std::uint32_t* length) = 0;

    // Plays from `from` (the position now when null) to `to` (the end of
    // the disc when null), both in the time format.
    virtual bool Play(const std::uint32_t* from, const std::uint32_t* to, bool notify) = 0;
    virtual bool Pause() = 0;
    virtual bool Stop() = 0;

    // 0 .. kMaxVolume.
    virtual bool SetVolume(int volume) = 0;
    virtual int Volume() const = 0;
};

// The device that plays through GStreamer's CD source into the sink of
// `audioSinkFactory` ("" for the automatic one); a sink that cannot open
// gives way to a silent one that keeps time.
std::unique_ptr<AudioDevice> CreateAudioDevice(const QString& audioSinkFactory = {});

}  // namespace cdrom
