// A CD-audio device for the player's tests: a disc of tracks of given
// lengths (the first at 2,000 ms), a position the test moves, and a log of
// the commands it got ("play 5000-9000", "play 2000-", "pause", "stop",
// "close"; positions in milliseconds whatever the time format). Plays with
// notify end as the real device's do: a later command posts the aborted
// notice at once, Finish() the successful one.
#pragma once

#include "platform/cdrom/cdaudio.h"

#include <QStringList>

#include <vector>

class RecordingDevice : public cdrom::AudioDevice {
public:
    struct Disc {
        std::vector<int> lengthsMs;
        QStringList log;
        std::uint32_t position = 2000;
        bool failOpen = false;
        bool failPlay = false;
        int volume = cdrom::kMaxVolume;
        QString drive;
        TForm* window = nullptr;
        bool notifyPending = false;
        std::uint32_t playEnd = 0;
        bool playing = false;
        std::uint32_t id = 0;
        int posted = 0;   // notices posted to the window so far

        std::uint32_t Start(int track) const
        {
            std::uint32_t at = 2000;
            for (int t = 1; t < track; ++t) at += static_cast<std::uint32_t>(lengthsMs[static_cast<size_t>(t - 1)]);
            return at;
        }
        std::uint32_t End() const { return Start(static_cast<int>(lengthsMs.size()) + 1); }
        // The running play reached its end.
        void Finish()
        {
            position = playEnd;
            playing = false;
            if (notifyPending && window) Post(cdrom::kNotifySuccessful);
            notifyPending = false;
        }
        void Abort()
        {
            if (notifyPending && window) Post(cdrom::kNotifyAborted);
            notifyPending = false;
        }
        void Post(WPARAM flags)
        {
            window->PostMessage(MM_MCINOTIFY, flags, id);
            ++posted;
        }
    };

    explicit RecordingDevice(Disc* disc) : disc_(disc) {}

    bool Open(const QString& drive, TForm* window) override
    {
        if (disc_->failOpen) return false;
        disc_->drive = drive;
        disc_->window = window;
        disc_->id = 7;
        disc_->position = 2000;
        disc_->volume = cdrom::kMaxVolume;
        open_ = true;
        return true;
    }
    bool Close() override
    {
        if (!open_) return false;
        disc_->Abort();
        disc_->log << QStringLiteral("close");
        open_ = false;
        return true;
    }
    std::uint32_t DeviceId() const override { return open_ ? disc_->id : 0; }
    bool SetTimeFormat(cdrom::TimeFormat format) override
    {
        format_ = format;
        return open_;
    }
    bool TrackCount(int* count) override
    {
        *count = static_cast<int>(disc_->lengthsMs.size());
        return open_;
    }
    bool Position(std::uint32_t* position) override
    {
        // The player reads positions in milliseconds only.
        *position = disc_->position;
        return open_ && format_ == cdrom::TimeFormat::Milliseconds;
    }
    bool CurrentTrack(int* track) override
    {
        *track = TrackOf(disc_->position);
        return open_;
    }
    bool TrackPosition(int track, std::uint32_t* position) override
    {
        if (!open_ || track < 1 || track > static_cast<int>(disc_->lengthsMs.size())) return false;
        *position = format_ == cdrom::TimeFormat::Tmsf ? cdrom::MakeTmsf(track, 0, 0, 0) : disc_->Start(track);
        return true;
    }
    bool TrackLength(int track, std::uint32_t* length) override
    {
        if (!open_ || track < 1 || track > static_cast<int>(disc_->lengthsMs.size())) return false;
        *length = static_cast<std::uint32_t>(disc_->lengthsMs[static_cast<size_t>(track - 1)]);
        return true;
    }
    bool Play(const std::uint32_t* from, const std::uint32_t* to, bool notify) override
    {
        if (!open_ || disc_->failPlay) return false;
        const std::uint32_t start = from ? Ms(*from) : disc_->position;
        const std::uint32_t end = to ? Ms(*to) : disc_->End();
        disc_->Abort();
        disc_->log << QStringLiteral("play %1-%2").arg(start).arg(to ? QString::number(end) : QString());
        disc_->position = start;
        disc_->playEnd = end;
        disc_->playing = true;
        disc_->notifyPending = notify;
        return true;
    }
    bool Pause() override
    {
        disc_->Abort();
        disc_->playing = false;
        disc_->log << QStringLiteral("pause");
        return open_;
    }
    bool Stop() override
    {
        disc_->Abort();
        disc_->playing = false;
        disc_->log << QStringLiteral("stop");
        return open_;
    }
    bool SetVolume(int volume) override
    {
        disc_->volume = volume;
        return true;
    }
    int Volume() const override { return disc_->volume; }

private:
    int TrackOf(std::uint32_t ms) const
    {
        int track = 1;
        for (int t = 1; t <= static_cast<int>(disc_->lengthsMs.size()); ++t)
            if (disc_->Start(t) <= ms) track = t;
        return track;
    }
    std::uint32_t Ms(std::uint32_t value) const
    {
        if (format_ == cdrom::TimeFormat::Milliseconds) return value;
        return disc_->Start(cdrom::TmsfTrack(value)) +
               static_cast<std::uint32_t>((cdrom::TmsfMinutes(value) * 60 + cdrom::TmsfSeconds(value)) * 1000 +
                                          cdrom::TmsfFrames(value) * 1000 / 75);
    }

    Disc* disc_;
    bool open_ = false;
    cdrom::TimeFormat format_ = cdrom::TimeFormat::Milliseconds;
};
