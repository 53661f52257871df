// The seek bar's A-B selection: a band over the groove between the section's
// start and end, with a tick mark at each end, drawn while a section is
// active. A child of the bar that takes no input, so the bar drags and
// clicks as before.
#pragma once

#include <QWidget>

class QSlider;

class TSeekSelection : public QWidget {
public:
    explicit TSeekSelection(QSlider* bar);
    // Bar values (the bar's own units); hidden with `shown` false.
    void SetSelection(bool shown, int start, int end);
    bool IsShown() const { return shown_; }
    int SelStart() const { return start_; }
    int SelEnd() const { return end_; }
    // The x coordinate (the bar's) of bar value `value`.
    int XOf(int value) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QSlider* bar_;
    bool shown_ = false;
    int start_ = 0;
    int end_ = 0;
};
