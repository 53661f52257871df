#include "player/tools/TColorDlg.h"

#include "platform/dialogs/dialogs.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "ui_TColorDlg.h"

#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QWindow>

namespace {

const QString kCaption = QStringLiteral("カラー設定");
const QString kConfirm = QStringLiteral("確認");

void Inform(QWidget* owner, const QString& text)
{
    MessageBox(owner, text, kConfirm, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

}  // namespace

TColorDlg::TColorDlg(IToolHost& host)
    : QDialog(host.HostWindow(), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      host_(host),
      ui_(std::make_unique<Ui::TColorDlg>()),
      adjust_(host)
{
    ui_->setupUi(this);
    ui_->ComboBox1->addItem(QString());
    popup_ = new QMenu(this);
    popup_->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* n2 = popup_->addAction(QStringLiteral("新規保存"));
    n2->setObjectName(QStringLiteral("N2"));
    QAction* n3 = popup_->addAction(QStringLiteral("上書き保存"));
    n3->setObjectName(QStringLiteral("N3"));
    QAction* n1 = popup_->addAction(QStringLiteral("名前の変更"));
    n1->setObjectName(QStringLiteral("N1"));
    connect(popup_, &QMenu::aboutToShow, this, &TColorDlg::PopupMenu1Popup);
    connect(n1, &QAction::triggered, this, &TColorDlg::N1Click);
    connect(n2, &QAction::triggered, this, &TColorDlg::N2Click);
    connect(n3, &QAction::triggered, this, &TColorDlg::N3Click);

    for (int p = 0; p < TColorAdjust::kProperties; ++p)
        connect(Bar(p), &QSlider::valueChanged, this, [this, p] { BarChanged(p); });
    connect(ui_->BtnDefault, &QPushButton::clicked, this, &TColorDlg::BtnDefaultClick);
    connect(ui_->BtnRestore, &QPushButton::clicked, this, &TColorDlg::BtnRestoreClick);
    connect(ui_->OKBtn, &QPushButton::clicked, this, &TColorDlg::OKBtnClick);
    connect(ui_->CancelBtn, &QPushButton::clicked, this, &TColorDlg::CancelBtnClick);
    connect(ui_->Button1, &QPushButton::clicked, this, &TColorDlg::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TColorDlg::Button2Click);
    connect(ui_->ComboBox1, &QComboBox::currentIndexChanged, this, &TColorDlg::ComboBox1Change);
    // The labels move the window as its missing caption bar would.
    for (QLabel* label : {ui_->LblBrightness, ui_->LblContrast, ui_->LblHue, ui_->LblSaturation, ui_->LblGamma,
                          ui_->LblSharp, ui_->LblB, ui_->LblC, ui_->LblH, ui_->LblS, ui_->LblG, ui_->LblSharpPos})
        label->installEventFilter(this);
    TWindowPlacement::SetClientSize(this, QSize(422, 186));
    setFixedSize(size());
}

TColorDlg::~TColorDlg() = default;

QSlider* TColorDlg::Bar(int property) const
{
    QSlider* const bars[] = {ui_->TBarBrightness, ui_->TBarContrast, ui_->TBarHue,
                             ui_->TBarSaturation, ui_->TBarGamma,    ui_->TBarSharp};
    return bars[property];
}

QLabel* TColorDlg::ValueLabel(int property) const
{
    QLabel* const labels[] = {ui_->LblB, ui_->LblC, ui_->LblH, ui_->LblS, ui_->LblG, ui_->LblSharpPos};
    return labels[property];
}

void TColorDlg::Place()
{
    // Below the main window, centred on it.
    const QWidget* main = host_.HostWindow();
    if (!main) return;
    const QRect owner = main->frameGeometry();
    const int width = frameGeometry().width();
    TWindowPlacement::MoveInside(this, QPoint(owner.left() + (owner.width() - width) / 2, owner.top() + owner.height()));
}

void TColorDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void TColorDlg::FormShow()
{
    updating_ = true;
    const bool loaded = adjust_.Load();
    const bool sharp = adjust_.sharpnessShown();
    for (QWidget* w : {static_cast<QWidget*>(ui_->TBarSharp), static_cast<QWidget*>(ui_->LblSharp),
                       static_cast<QWidget*>(ui_->LblSharpPos)})
        w->setVisible(sharp);
    if (sharp) {
        // The preset row goes below the sharpness row.
        for (QWidget* w : {static_cast<QWidget*>(ui_->ComboBox1), static_cast<QWidget*>(ui_->Button1),
                           static_cast<QWidget*>(ui_->Button2)})
            w->move(w->x(), 180);
        setFixedSize(QSize(422, 212));
    }
    for (int p = 0; p < TColorAdjust::kProperties; ++p) {
        const TColorAdjust::Bar& b = adjust_.bar(p);
        QSlider* bar = Bar(p);
        bar->setEnabled(b.enabled);
        if (!b.enabled && !(p == TColorAdjust::Sharpness && sharp)) continue;
        bar->setRange(b.min, b.max);
        bar->setSingleStep(b.lineSize);
        bar->setPageStep(b.lineSize);
    }
    ShowPositions();
    ui_->ComboBox1->setEnabled(loaded);
    ui_->Button1->setEnabled(loaded);
    ui_->ComboBox1->clear();
    ui_->ComboBox1->addItem(QString());
    ui_->ComboBox1->addItems(adjust_.presets());
    QLabel* const names[] = {ui_->LblBrightness, ui_->LblContrast, ui_->LblHue,
                             ui_->LblSaturation, ui_->LblGamma,    ui_->LblSharp};
    for (int p = 0; p < TColorAdjust::kProperties; ++p) names[p]->setEnabled(Bar(p)->isEnabled());
    Place();
    updating_ = false;
}

void TColorDlg::ShowPositions()
{
    const bool was = updating_;
    updating_ = true;
    for (int p = 0; p < TColorAdjust::kProperties; ++p) {
        const bool shown = adjust_.bar(p).enabled || (p == TColorAdjust::Sharpness && adjust_.sharpnessShown());
        if (!shown) continue;
        Bar(p)->setValue(adjust_.bar(p).position);
        ValueLabel(p)->setText(QString::number(adjust_.bar(p).position));
    }
    updating_ = was;
}

void TColorDlg::BarChanged(int property)
{
    if (updating_) return;
    adjust_.Change(property, Bar(property)->value());
    ValueLabel(property)->setText(QString::number(Bar(property)->value()));
}

void TColorDlg::TBarBrightnessChange() { BarChanged(TColorAdjust::Brightness); }
void TColorDlg::TBarContrastChange() { BarChanged(TColorAdjust::Contrast); }
void TColorDlg::TBarHueChange() { BarChanged(TColorAdjust::Hue); }
void TColorDlg::TBarSaturationChange() { BarChanged(TColorAdjust::Saturation); }
void TColorDlg::TBarGammaChange() { BarChanged(TColorAdjust::Gamma); }
void TColorDlg::TBarSharpChange() { BarChanged(TColorAdjust::Sharpness); }

void TColorDlg::BtnDefaultClick()
{
    adjust_.Defaults();
    ShowPositions();
}

void TColorDlg::BtnRestoreClick()
{
    adjust_.Restore();
    ShowPositions();
}

void TColorDlg::CancelBtnClick()
{
    adjust_.Cancel();
    done(kCancel);
}

// Escape and the window's close go the way of Cancel.
void TColorDlg::reject() { CancelBtnClick(); }

void TColorDlg::OKBtnClick()
{
    adjust_.StoreAtOk();
    if (ui_->ComboBox1->currentIndex() > 0) N3Click();
    done(kOk);
}

void TColorDlg::ComboBox1Change()
{
    const int index = ui_->ComboBox1->currentIndex();
    ui_->Button2->setEnabled(index > 0);
    if (index <= 0 || updating_) return;
    const auto values = adjust_.ReadPreset(index - 1);
    // Each bar's own change handler writes its value to the picture.
    for (int p = 0; p < TColorAdjust::kProperties; ++p) {
        if (values[p]) Bar(p)->setValue(*values[p]);
    }
}

void TColorDlg::Button1Click() { popup_->popup(QCursor::pos()); }

void TColorDlg::PopupMenu1Popup()
{
    const bool selected = ui_->ComboBox1->currentIndex() >= 1;
    for (const char* name : {"N1", "N3"}) popup_->findChild<QAction*>(QString::fromLatin1(name))->setEnabled(selected);
}

void TColorDlg::N2Click() { SaveAs(-1); }

void TColorDlg::N1Click()
{
    if (ui_->ComboBox1->currentIndex() >= 1) SaveAs(ui_->ComboBox1->currentIndex() - 1);
}

void TColorDlg::N3Click()
{
    if (ui_->ComboBox1->currentIndex() >= 1) adjust_.OverwritePreset(ui_->ComboBox1->currentIndex() - 1);
}

void TColorDlg::SaveAs(int renameIndex)
{
    if (adjust_.path() == TColorAdjust::Path::None) return;
    QString name = renameIndex >= 0 ? adjust_.presets().value(renameIndex) : QString();
    if (!InputQuery(this, kCaption, QStringLiteral("登録名を入力してください。"), &name) || name.isEmpty()) return;
    switch (adjust_.SavePreset(name, renameIndex)) {
    case TColorAdjust::NameAnswer::Semicolon: Inform(this, QStringLiteral("\";\" は使えません。")); return;
    case TColorAdjust::NameAnswer::Backslash: Inform(this, QStringLiteral("\"\\\" は使えません。")); return;
    case TColorAdjust::NameAnswer::Taken: Inform(this, QStringLiteral("すでに登録済みの名前です。")); return;
    case TColorAdjust::NameAnswer::Unchanged:
    case TColorAdjust::NameAnswer::Failed: return;
    case TColorAdjust::NameAnswer::Saved: break;
    }
    // The list follows the presets; the selection stays where it was.
    const bool was = updating_;
    updating_ = true;
    if (renameIndex >= 0)
        ui_->ComboBox1->setItemText(renameIndex + 1, name);
    else
        ui_->ComboBox1->addItem(name);
    updating_ = was;
}

void TColorDlg::Button2Click()
{
    const int index = ui_->ComboBox1->currentIndex();
    if (index < 1) return;
    const QString name = ui_->ComboBox1->itemText(index);
    if (MessageBox(this, QStringLiteral("\"%1\" を削除してよろしいですか？").arg(name), kConfirm,
                   MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES)
        return;
    adjust_.DeletePreset(index - 1);
    // The list loses its selection with the item; no preset is loaded.
    const bool was = updating_;
    updating_ = true;
    ui_->ComboBox1->removeItem(index);
    ui_->ComboBox1->setCurrentIndex(0);
    updating_ = was;
}

bool TColorDlg::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        LblBrightnessMouseDown();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void TColorDlg::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) LblBrightnessMouseDown();
    QDialog::mousePressEvent(e);
}

// Dragging on the labels or the background moves the window.
void TColorDlg::LblBrightnessMouseDown()
{
    if (QWindow* window = windowHandle()) window->startSystemMove();
}
