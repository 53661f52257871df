// The main window's guards, hand-over state, form and timers as the tests
// read them. Nothing of the program includes it.
#pragma once

#include "player/ZoMain.h"

class TZoMain::TestProbe {
public:
    explicit TestProbe(TZoMain& window) : w_(window) {}

    Ui::TZoMain* Form() const { return w_.ui_.get(); }
    bool IsGraphStarting() const { return w_.item_.GraphStarting; }
    WPARAM CopyDataSender() const { return w_.copyDataSender_; }
    bool HasPendingArguments() const { return w_.pendingArguments_ != nullptr; }
    bool DvdRequested() const { return w_.dvd_.Requested; }
    bool CdRequested() const { return w_.cd_.Requested; }
    bool AppendToList() const { return w_.appendToList_; }
    bool IsScanning() const { return w_.scanDepth_ > 0; }
    int HeldMessageCount() const { return static_cast<int>(w_.held_.size()); }
    bool StartupIntakePending() const { return static_cast<bool>(w_.startupIntake_); }
    const THeldButtons& HeldButtons() const { return w_.heldButtons_; }
    bool IsSeekBarBusy() const { return w_.seekBarBusy_; }
    bool HasSavedMouseActions() const { return w_.savedMouseActions_.has_value(); }
    TDvdState& DvdState() const { return w_.dvd_; }
    // Marks the kinds that refuse the mouse skips, as their openers will.
    void SetMediaKind(bool dvd, bool cd, bool realMedia) const
    {
        w_.dvd_.Mode = dvd;
        w_.cd_.Open = cd;
        w_.item_.RealMedia = realMedia;
    }
    QTimer* Timer() const { return w_.Timer; }
    QTimer* DVDTimer() const { return w_.DVDTimer; }
    QTimer* CDTimer() const { return w_.CDTimer; }
    QTimer* RMTimer() const { return w_.RMTimer; }
    QTimer* MouseTimer() const { return w_.MouseTimer; }

private:
    TZoMain& w_;
};

inline TZoMain::TestProbe TZoMain::Probe() { return TestProbe(*this); }
