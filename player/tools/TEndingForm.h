// The countdown after playback: a small window in the middle of the screen
// that counts twenty seconds and then has the computer hibernate (standby
// when that fails) or power off, as PowerState says. A pointer move of 4
// pixels or a key cancels it. The main window makes it, keeps it as
// EndingWindow and deletes it when it hears of its closing; the window
// never frees itself. Main thread.
#pragma once

#include "player/tools/Countdown.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TEndingForm;
}
class IToolHost;
class QTimer;

class TEndingForm : public QWidget {
    Q_OBJECT
public:
    // `owner` is the main window; the window is not shown yet.
    TEndingForm(IToolHost& host, QWidget* owner);
    ~TEndingForm() override;

    // The count's tick (Timer1, once a second).
    void Timer1Timer();
    // The power action; true when the system took the request.
    bool DoPowerAction();
    const TCountdown& Count() const { return countdown_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void FormKeyDown();
    void FormClose();

    IToolHost& host_;
    std::unique_ptr<Ui::TEndingForm> ui_;
    QTimer* Timer1;
    const unsigned powerState_;
    // Where the pointer cannot be read over other programs, the session's
    // idle time stands in for it.
    const bool watchIdle_;
    TCountdown countdown_;
};
