#include "player/tools/TEndingForm.h"

#include "platform/power/actions.h"
#include "player/tools/ThinFrame.h"
#include "player/tools/ToolHost.h"
#include "player/units/Settings.h"
#include "ui_TEndingForm.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

namespace {

constexpr DWORD kPowerOff = 2;

}  // namespace

TEndingForm::TEndingForm(IToolHost& host, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      host_(host),
      ui_(std::make_unique<Ui::TEndingForm>()),
      powerState_(host.Settings().PowerState),
      watchIdle_(power::PointerHiddenBySession()),
      countdown_(QCursor::pos(), watchIdle_ ? power::SessionIdleTime() : -1)
{
    ui_->setupUi(this);
    ui_->LblPowerState->setText(powerState_ == kPowerOff ? QStringLiteral("電源を切ります。")
                                                         : QStringLiteral("休止状態/スタンバイ状態に入ります。"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TEndingForm::Timer1Timer);
    Timer1->start();
    // The whole screen's middle, over the task bars too.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

TEndingForm::~TEndingForm() = default;

void TEndingForm::Timer1Timer()
{
    const qint64 idle = watchIdle_ ? power::SessionIdleTime() : -1;
    const TCountdown::Step step = countdown_.Tick(QCursor::pos(), idle);
    if (step == TCountdown::Step::Cancelled) {
        close();
        return;
    }
    ui_->ProgressBar->setValue(countdown_.Count());
    ui_->LblRemainTime->setText(QString::number(countdown_.Remaining()) + QStringLiteral("秒"));
    if (step != TCountdown::Step::Due) return;
    Timer1->stop();
    // The last text is on the screen before the system is asked.
    repaint();
    host_.CloseMedia();
    // Taken: the window stays, without its timer, until a key or the system ends it.
    if (!DoPowerAction()) close();
}

bool TEndingForm::DoPowerAction()
{
    power::PowerActions& actions = power::Actions();
    if (powerState_ == kPowerOff) return actions.PowerOff();
    return power::HibernateOrSuspend(actions);
}

void TEndingForm::FormKeyDown() { close(); }

void TEndingForm::FormClose()
{
    Timer1->stop();
    // The main window's EndingWindow is its mark of a running countdown:
    // the notice clears it and deletes this window.
    host_.PostToolNotice(ToolNotice::CountdownClosed, 0);
}

void TEndingForm::keyPressEvent(QKeyEvent* e)
{
    Q_UNUSED(e);
    FormKeyDown();
}

void TEndingForm::closeEvent(QCloseEvent* e)
{
    FormClose();
    QWidget::closeEvent(e);
}

void TEndingForm::paintEvent(QPaintEvent* e)
{
    QWidget::paintEvent(e);
    // No caption bar: the edge is drawn.
    DrawThinFrame(this);
}

void TEndingForm::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    // The keys that cancel come to this window.
    activateWindow();
    setFocus();
}
