#include "units/Seekselection.h"

#include <QEvent>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

QRect Part(const QSlider* bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    return bar->style()->subControlRect(QStyle::CC_Slider, &option, part, bar);
}

}  // namespace

TSeekSelection::TSeekSelection(QSlider* bar) : QWidget(bar), bar_(bar)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(bar->rect());
    bar->installEventFilter(this);
    hide();
}

void TSeekSelection::SetSelection(bool shown, int start, int end)
{
    if (shown == shown_ && start == start_ && end == end_) return;
    shown_ = shown;
    start_ = start;
    end_ = end;
    setVisible(shown);
    if (shown) {
        setGeometry(bar_->rect());
        raise();
        update();
    }
}

int TSeekSelection::XOf(int value) const
{
    const QRect groove = Part(bar_, QStyle::SC_SliderGroove);
    const QRect handle = Part(bar_, QStyle::SC_SliderHandle);
    const int span = std::max(0, groove.width() - handle.width());
    const int max = bar_->maximum();
    if (max <= bar_->minimum()) return groove.left() + handle.width() / 2;
    return groove.left() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(bar_->minimum(), max, std::clamp(value, bar_->minimum(), max), span);
}

void TSeekSelection::paintEvent(QPaintEvent*)
{
    if (!shown_ || bar_->maximum() <= 0) return;
    QPainter painter(this);
    const QRect groove = Part(bar_, QStyle::SC_SliderGroove);
    const int x1 = XOf(start_);
    const int x2 = std::max(XOf(end_), x1 + 1);
    const QColor band = palette().color(QPalette::Highlight);
    // The band over the groove, and a tick below the groove at each end.
    const int top = groove.center().y() - 2;
    painter.fillRect(QRect(x1, top, x2 - x1 + 1, 5), QColor(band.red(), band.green(), band.blue(), 170));
    painter.setPen(palette().color(QPalette::WindowText));
    const int bottom = height() - 1;
    for (int x : {x1, x2}) painter.drawLine(x, std::min(groove.bottom() + 1, bottom - 3), x, bottom);
}

bool TSeekSelection::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == bar_ && e->type() == QEvent::Resize) setGeometry(bar_->rect());
    return QWidget::eventFilter(watched, e);
}
