// A DVD's closed captions over the picture: the layer decodes them, the
// window shows the text on the screen in a label of its own over the view
// panel, across the picture's foot or in its lower right quarter.
#include "player/ZoMain.h"

#include "platform/dvd/player.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QLabel>

#include <algorithm>

namespace {

// Caption rows fill a fifteenth of the picture's height, as a caption
// page of 15 rows does.
constexpr int kCaptionRows = 15;

}  // namespace

bool TZoMain::DvdDecodesCaptions() const
{
    const dvd::DvdPlayer* player = DvdPipeline();
    return player && player->DecodesCaptions();
}

void TZoMain::MiCcOnClick()
{
    if (!DvdDecodesCaptions()) return;
    ui_->MiCcOn->setChecked(!ui_->MiCcOn->isChecked());
    ShowDvdCaption();
}

void TZoMain::MiCcRightBottomClick()
{
    if (!DvdDecodesCaptions()) return;
    ui_->MiCcRightBottom->setChecked(!ui_->MiCcRightBottom->isChecked());
    if (captionLabel_ && captionLabel_->isVisible()) LayoutDvdCaption();
}

// The caption on the screen now, while the captions are on. A paused picture
// keeps its caption; a seek clears it (the layer says so).
void TZoMain::ShowDvdCaption()
{
    const dvd::DvdPlayer* player = DvdPipeline();
    const QString text = player && ui_->MiCcOn->isChecked() ? player->CaptionText() : QString();
    if (text.isEmpty()) {
        if (captionLabel_) captionLabel_->hide();
        return;
    }
    if (!captionLabel_) {
        captionLabel_ = new QLabel(ui_->ViewPanel);
        // A window of its own: the X sinks draw the picture into a native
        // window over the panel, which would hide a painted child.
        captionLabel_->setAttribute(Qt::WA_DontCreateNativeAncestors);
        captionLabel_->setAttribute(Qt::WA_NativeWindow);
        captionLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
        captionLabel_->setObjectName(QStringLiteral("CaptionLabel"));
        captionLabel_->setStyleSheet(QStringLiteral("background: black; color: white; padding: 1px 4px;"));
        captionLabel_->setAlignment(Qt::AlignCenter);
    }
    captionLabel_->setText(text);
    LayoutDvdCaption();
    captionLabel_->show();
    captionLabel_->raise();
}

void TZoMain::LayoutDvdCaption()
{
    if (!captionLabel_) return;
    QRect area = VideoRect();
    if (area.isEmpty()) area = ui_->ViewPanel->rect();
    const bool corner = ui_->MiCcRightBottom->isChecked();
    // The lower right quarter holds the whole caption page at half its size.
    if (corner) area = QRect(area.left() + area.width() / 2, area.top() + area.height() * 55 / 100, area.width() / 2,
                             area.height() * 45 / 100);
    const int pageHeight = corner ? VideoRect().height() / 2 : area.height();
    QFont font = captionLabel_->font();
    font.setPixelSize(std::max(pageHeight / kCaptionRows * 4 / 5, 8));
    captionLabel_->setFont(font);
    const QSize size = captionLabel_->sizeHint().boundedTo(area.size());
    captionLabel_->setGeometry(area.left() + (area.width() - size.width()) / 2,
                               area.bottom() + 1 - size.height() - pageHeight / kCaptionRows / 2, size.width(),
                               size.height());
}
