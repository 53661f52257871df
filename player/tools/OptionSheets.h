// The options dialog's sheets: each loads its controls once, on its first
// show, from the main window's settings or the registry; OK applies the
// shown sheets to the main window and writes them under Main, Capture and
// Filters. Sheets never shown are neither applied nor written. Works on the
// dialog's form, so tests drive it through the form's controls.
#pragma once

#include "platform/wintypes.h"
#include "player/tools/OptionsHost.h"

#include <QString>
#include <QStringList>

class QWidget;
class TDecoderLists;
namespace Ui {
class TOKBottomDlg;
}

// DriveSpeed: the three speed lists' items and the two flags in one value.
struct TDriveSpeedChoice {
    bool limit = false;
    bool restore = false;
    int audioCd = 0;   // items of the lists, 0 "規定値"
    int otherCd = 0;
    int dvd = 0;
};
TDriveSpeedChoice DecodeDriveSpeed(DWORD value);
DWORD EncodeDriveSpeed(const TDriveSpeedChoice& choice);

class TOptionSheets {
public:
    TOptionSheets(Ui::TOKBottomDlg& form, IOptionsHost& host, TDecoderLists& decoders, QWidget* dialog);

    // What construction takes from the main window and the installed renderers.
    void Construct();
    // The sheet's OnShow: loads it the first time, then marks it shown.
    void Show(TOptionSheet sheet);
    bool Shown(TOptionSheet sheet) const;
    // OKBtnClick: applies the shown sheets to the main window, then writes them.
    void Ok();

    // The mixer list's devices, index 0 first (platform/mixer's order).
    void SetMixerNames(const QStringList& names) { mixerNames_ = names; }
    // The user's pictures folder, the capture folder when none is stored.
    static QString PicturesFolder();

    // Whether the renderers of Renderer 2 and 3 are installed.
    bool Vmr7Registered() const { return vmr7_; }
    bool Vmr9Registered() const { return vmr9_; }

private:
    QWidget* Sheet(TOptionSheet sheet) const;
    void LoadDisplay();
    void LoadPlay();
    void LoadOperation();
    void LoadViewer();
    void LoadPower();
    void LoadOutput();
    void LoadCapture();
    void LoadDvd();
    void LoadCd();
    void LoadDrive();
    void Apply(TMainSettings& s, TWindowOptions& view);
    void WriteMain(const TMainSettings& s);
    void WriteCapture();
    void WriteFilters();

    Ui::TOKBottomDlg& f_;
    IOptionsHost& host_;
    TDecoderLists& decoders_;
    QWidget* dialog_;
    TWindowOptions view_;
    bool vmr7_ = true;
    bool vmr9_ = true;
    QStringList mixerNames_;
};
