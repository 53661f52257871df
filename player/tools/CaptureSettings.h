// The capture window's settings under the `Capture` key, where the window
// opens beside the main window, and the switch of `EmulationOnly`. Main
// thread, like the registry calls.
#pragma once

#include "platform/wintypes.h"

#include <QPoint>
#include <QRect>
#include <QString>

struct TCaptureSettings {
    QString MPEG1CapDecoder;
    QString MPEG2CapDecoder;
    QString CaptureFolder;          // empty reads as the pictures folder
    DWORD Size = 0;                 // 0 none, 1 keep the aspect ratio, 2 keep the shown size
    bool NumberPictures = false;
    bool VMRpriority = false;
    bool SynchronousSave = false;
    bool SaveExtension = true;      // the simultaneous save: true BMP, false JPEG
    bool Deinterlace = false;
    bool OverlayOff = true;
    DWORD CaptureMethod = 0;        // 0 automatic, 1 to 4 fixed
    DWORD JpegQuality = 100;
    DWORD CaptureWindowPosition = 0;
    int Brightness = 0;             // -100 .. 100, stored as a DWORD
    int Red = 0;
    int Green = 0;
    int Blue = 0;
    bool RGBAdjustment = false;
    bool ColorAdjustment = false;
    bool DetailOptions = false;
    bool Interpolation = true;
    DWORD Bicubic = 1;              // 0 bilinear, 1 bicubic

    // Reads every value, creating the key when it is missing; defaults for
    // what is missing. Registry failures leave the defaults.
    static TCaptureSettings Load();
    // Writes the values the window changes, in their fixed order; false
    // when the key cannot be written.
    bool Save() const;
};

// The user's pictures folder (XDG), the home folder without one.
QString PicturesFolder();

// The frame's top-left for `position` (1 right of, 2 left of, 3 above,
// 4 below the main window, else centred on it; halves toward zero), before
// it is kept inside a work area.
QPoint CaptureWindowPlace(DWORD position, const QRect& mainFrame, const QSize& frame);

// HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft\DirectDraw" EmulationOnly: set to 1
// (when missing or 0) and back to 0. Each returns whether the key opened,
// which is what sets or clears the caller's flag; the value has no effect
// on our video.
bool SetDirectDrawEmulation();
bool ClearDirectDrawEmulation();
