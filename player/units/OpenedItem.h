// The opened media item as the main window keeps it from its opening to
// CloseMedia. The tool windows read it through their host.
#pragma once

#include "platform/wintypes.h"

#include <QString>

#include <cstdint>

// The opened item: what belongs to one media item from its opening to
// CloseMedia, which assigns a fresh one so that nothing reaches the next item.
struct TOpenedItem {
    QString Path;                     // set when it opens; empty: nothing opened since the last close
    // Guards while it opens.
    bool Opening = false;             // OpenFileActivated runs: Stop and the step commands wait
    bool GraphStarting = false;       // graph built, first pause not yet seen: drops and second starts are refused
    bool FirstPauseSeen = false;      // the colour timer is set at the first pause only
    // Its kind: from the first bytes, else the extension (OpenByFileType).
    bool Mpeg = false;
    bool Mp3 = false;
    bool WindowsMedia = false;
    bool RealMedia = false;
    bool StillPicture = false;        // shown for ShowPictureLength seconds, no transport
    bool AudioOnly = false;
    bool UrlStream = false;           // opened from an address: Stop stops instead of rewinding
    // What the graph found.
    bool Rendered = false;            // BuildFileGraph got as far as setting the controls
    bool NoDuration = false;          // no duration or no index: no seek bar, fast forward, rewind or skip
    bool CanStep = false;             // the graph steps frames
    bool MpegDecodersFound = false;   // seeks keep clear of the end (kMpegSeekEndMargin)
    int MpegSplitterKind = 0;         // 1 MPEG-1, 2 MPEG-2 splitter inserted; 0 none
    REFERENCE_TIME Duration = 0;      // 100 ns units; 0 unknown
    long VideoWidth = 0;              // native picture size; 0 without a picture
    long VideoHeight = 0;
    double PlaybackRate = 1.0;
    bool BufferingShown = false;      // the position timer shows "buffering"
    bool SeekBarMoved = false;        // a drag waits for the position timer to seek
    // Where Stop rewound from, in tenths of a second (with ResumePosition on):
    // the resume file keeps it; 0 when it could not be read.
    std::int64_t StoppedAt = 0;
};
