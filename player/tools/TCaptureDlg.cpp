#include "player/tools/TCaptureDlg.h"

#include "platform/dialogs/dialogs.h"
#include "platform/keys/keys.h"
#include "platform/media/capture.h"
#include "platform/media/graph.h"
#include "player/tools/PictureFiles.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/OpenedItem.h"
#include "player/units/Settings.h"
#include "ui_TCaptureDlg.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QWindow>

namespace {

constexpr int kNarrowWidth = 351;
constexpr int kWideWidth = 461;
constexpr int kPlainHeight = 207;
constexpr int kBrightnessHeight = 250;
constexpr int kRgbHeight = 290;

const QString kCaption = QStringLiteral("キャプチャ");

// ComboBox1's list: an item that does not apply to what plays is greyed.
class SizeItemDelegate : public QStyledItemDelegate {
public:
    SizeItemDelegate(IToolHost& host, QObject* parent) : QStyledItemDelegate(parent), host_(host) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem o(option);
        const bool grey = host_.HasRealControl() || (index.row() == 1 && host_.DvdMode());
        if (grey) {
            const QColor text = o.palette.color(QPalette::Disabled, QPalette::Text);
            o.palette.setColor(QPalette::Text, text);
            o.palette.setColor(QPalette::HighlightedText, text);
        }
        QStyledItemDelegate::paint(painter, o, index);
    }

private:
    IToolHost& host_;
};

}  // namespace

TCaptureDlg::TCaptureDlg(IToolHost& host, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      host_(host),
      ui_(std::make_unique<Ui::TCaptureDlg>())
{
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The spin box is the edit with its up-down arrows.
    if (auto* edit = ui_->UpDownJpeg->findChild<QLineEdit*>()) edit->setObjectName(QStringLiteral("EditQuality"));
    ui_->ComboBox1->setItemDelegate(new SizeItemDelegate(host_, ui_->ComboBox1));

    connect(ui_->BtnCapture, &QPushButton::clicked, this, &TCaptureDlg::BtnCaptureClick);
    connect(ui_->BtnSavePicture, &QPushButton::clicked, this, &TCaptureDlg::BtnSavePictureClick);
    connect(ui_->BtnCopy, &QPushButton::clicked, this, &TCaptureDlg::BtnCopyClick);
    connect(ui_->ChColor, &QPushButton::clicked, this, &TCaptureDlg::ChColorClick);
    connect(ui_->CheckBox2, &QCheckBox::clicked, this, &TCaptureDlg::ChColorClick);
    connect(ui_->TrackBar1, &QSlider::valueChanged, this, &TCaptureDlg::TrackBar1Change);
    connect(ui_->TrackBar2, &QSlider::valueChanged, this, &TCaptureDlg::TrackBar2Change);
    connect(ui_->TrackBar3, &QSlider::valueChanged, this, &TCaptureDlg::TrackBar2Change);
    connect(ui_->Button1, &QPushButton::clicked, this, &TCaptureDlg::Button1Click);
    connect(ui_->CheckBox3, &QPushButton::clicked, this, &TCaptureDlg::CheckBox3Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TCaptureDlg::Button2Click);

    LoadSettings();
    PlaceWindow();
    loading_ = false;
}

TCaptureDlg::~TCaptureDlg()
{
    ReleaseCaptureGraph();
    if (emulationSet_ && ClearDirectDrawEmulation()) emulationSet_ = false;
    StoreSettings();
}

void TCaptureDlg::LoadSettings()
{
    settings_ = TCaptureSettings::Load();
    if (settings_.CaptureFolder.isEmpty()) settings_.CaptureFolder = PicturesFolder();
    ui_->CbNumbering->setChecked(settings_.NumberPictures);
    ui_->CbSynchSave->setChecked(settings_.SynchronousSave);
    ui_->RadioButton1->setChecked(settings_.SaveExtension);
    ui_->RadioButton2->setChecked(!settings_.SaveExtension);
    ui_->UpDownJpeg->setValue(int(std::clamp<DWORD>(settings_.JpegQuality, 1, 100)));
    ui_->ComboBox1->setCurrentIndex(settings_.Size <= 2 ? int(settings_.Size) : 0);
    ui_->ChBicubic->setChecked(settings_.Interpolation);
    ui_->ComboBox2->setCurrentIndex(settings_.Bicubic == 0 ? 0 : 1);
    brightnessValue_ = std::clamp(settings_.Brightness, -100, 100);
    redValue_ = std::clamp(settings_.Red, -100, 100);
    ui_->TrackBar2->setValue(std::clamp(settings_.Green, -100, 100));
    ui_->TrackBar3->setValue(std::clamp(settings_.Blue, -100, 100));
    ui_->CheckBox2->setChecked(settings_.RGBAdjustment);
    ui_->ChColor->setChecked(settings_.ColorAdjustment);
    ui_->CheckBox3->setChecked(settings_.DetailOptions);
    methodInUse_ = int(settings_.CaptureMethod);
    CheckBox3Click();
    UpdateCorrectionPanel();
}

void TCaptureDlg::StoreSettings()
{
    settings_.NumberPictures = ui_->CbNumbering->isChecked();
    settings_.SynchronousSave = ui_->CbSynchSave->isChecked();
    settings_.SaveExtension = ui_->RadioButton1->isChecked();
    settings_.ColorAdjustment = ui_->ChColor->isChecked();
    settings_.RGBAdjustment = ui_->CheckBox2->isChecked();
    settings_.JpegQuality = DWORD(ui_->UpDownJpeg->value());
    settings_.Size = DWORD(ui_->ComboBox1->currentIndex());
    settings_.Brightness = brightnessValue_;
    settings_.Red = redValue_;
    settings_.Green = ui_->TrackBar2->value();
    settings_.Blue = ui_->TrackBar3->value();
    settings_.DetailOptions = ui_->CheckBox3->isChecked();
    settings_.Interpolation = ui_->ChBicubic->isChecked();
    settings_.Bicubic = DWORD(ui_->ComboBox2->currentIndex());
    settings_.Save();
}

void TCaptureDlg::SetClientSize(int width, int height) { setFixedSize(width, height); }

void TCaptureDlg::PlaceWindow()
{
    const QWidget* main = host_.HostWindow();
    if (!main) return;
    const QRect frame = main->frameGeometry();
    const QSize own = frameGeometry().size().expandedTo(size());
    TWindowPlacement::MoveInside(this, CaptureWindowPlace(settings_.CaptureWindowPosition, frame, own));
}

// ---- preparing and grabbing ----

void TCaptureDlg::CaptureFrame()
{
    ReleaseCaptureGraph();
    HRESULT hr = S_OK;
    const TOpenedItem& item = host_.Item();
    if (media::FilterGraph* graph = host_.Graph()) {
        hr = PrepareCapture(*graph, item);
    } else if (host_.HasRealControl()) {
        // The RealMedia player opens its clip again behind the hidden picture.
        hr = host_.CaptureWithoutGraph();
    }
    if (FAILED(hr)) {
        if (emulationSet_ && ClearDirectDrawEmulation()) emulationSet_ = false;
        ::MessageBox(this, QStringLiteral("キャプチャに失敗しました。"), QStringLiteral("Zoravel"),
                     MB_ICONEXCLAMATION | MB_TOPMOST);
        close();
        return;
    }
    baseName_ = capture::SaveBaseName(host_.Item().Path);
    newItem_ = true;
}

HRESULT TCaptureDlg::PrepareCapture(media::FilterGraph& graph, const TOpenedItem& item)
{
    // Nothing to grab from: the button ignores such an item.
    if (item.AudioOnly || item.StillPicture || !graph.HasVideo()) return S_OK;
    // The method is chosen once, by the sink that draws now, and stays.
    if (methodInUse_ == 0) methodInUse_ = media::ChooseCaptureMethod(0, graph.VideoRendererValue());
    const int method = methodInUse_;
    const bool windowlessMethod = method >= media::kCaptureWindowless7;
    if (method == media::kCaptureGrabber) host_.CapturePrepared(false, false);
    // A Windows Media stream that cannot seek cannot be built again where
    // it stood: only a windowless sink that already draws it will do.
    if (item.WindowsMedia && !graph.IsSeekable()) {
        const int renderer = graph.VideoRendererValue();
        const bool windowless = renderer == media::RendererWindowless7 || renderer == media::RendererWindowless9;
        return windowlessMethod && windowless ? S_OK : E_FAIL;
    }
    // The flip items for the windowless methods, where the sink can flip.
    const auto flipMenu = [&](const media::FilterGraph& built) {
        const bool wanted = method == media::kCaptureWindowless9 ||
                            (method == media::kCaptureWindowless7 && host_.Settings().UseVideoReversal);
        return wanted && built.CanFlip();
    };
    if (GraphFits(graph, item)) {
        if (windowlessMethod) host_.CapturePrepared(flipMenu(graph), false);
        return S_OK;
    }
    // The grabber's build switches emulation on and off again once it is done.
    if (method == media::kCaptureGrabber && settings_.OverlayOff && item.Mpeg) emulationSet_ = SetDirectDrawEmulation();
    HRESULT hr = host_.RebuildGraphForCapture(method);
    if (emulationSet_ && ClearDirectDrawEmulation()) emulationSet_ = false;
    if (FAILED(hr)) return hr;
    const media::FilterGraph* built = host_.Graph();
    // The sink or branch the grab reads must have its picture.
    if (!built || !built->IsVideoRendererConnected()) return E_FAIL;
    if (method == media::kCaptureGrabber && !built->HasCaptureBranch()) return E_FAIL;
    host_.CapturePrepared(windowlessMethod && flipMenu(*built), true);
    return S_OK;
}

bool TCaptureDlg::WantsCaptureDecoders(const TOpenedItem& item) const
{
    if (!item.Mpeg || (settings_.MPEG1CapDecoder.isEmpty() && settings_.MPEG2CapDecoder.isEmpty())) return false;
    if (item.MpegSplitterKind == 2 && settings_.MPEG2CapDecoder.isEmpty()) return false;
    if (item.MpegSplitterKind == 1 && settings_.MPEG1CapDecoder.isEmpty()) return false;
    return true;
}

bool TCaptureDlg::GraphFits(const media::FilterGraph& graph, const TOpenedItem& item) const
{
    switch (methodInUse_) {
    case media::kCaptureGrabber: return graph.HasCaptureBranch();
    case media::kCaptureWindowless7:
        // An interlaced picture wants the deinterlacer when the setting asks for it.
        return graph.VideoRendererValue() == media::RendererWindowless7 &&
               (!settings_.Deinterlace || graph.Deinterlaces() || !graph.IsVideoInterlaced());
    case media::kCaptureWindowless9: return graph.VideoRendererValue() == media::RendererWindowless9;
    default:
        // The renderer's own picture: any sink will do, but an MPEG file is
        // decoded by its capture decoder when one is set.
        return !WantsCaptureDecoders(item) || host_.CaptureDecodersInGraph();
    }
}

TCaptureGraphNeeds TCaptureDlg::GraphNeeds() const
{
    TCaptureGraphNeeds needs;
    if (methodInUse_ == 0 || !isVisible()) return needs;
    needs.mpeg1Decoder = settings_.MPEG1CapDecoder;
    needs.mpeg2Decoder = settings_.MPEG2CapDecoder;
    switch (methodInUse_) {
    case media::kCaptureGrabber: needs.captureBranch = true; break;
    case media::kCaptureWindowless7:
        needs.renderer = media::RendererWindowless7;
        needs.deinterlace = settings_.Deinterlace;
        break;
    case media::kCaptureWindowless9:
        // Its flip items are shown: the painted picture can always be flipped.
        needs.renderer = media::RendererWindowless9;
        needs.flip = true;
        break;
    default: break;
    }
    return needs;
}

void TCaptureDlg::ReleaseCaptureGraph() { placeholder_.reset(); }

HRESULT TCaptureDlg::RunPlaceholderGraph()
{
    ReleaseCaptureGraph();
    placeholder_ = media::PlaceholderGraph::Start(host_.ViewPanel());
    return placeholder_ ? S_OK : E_FAIL;
}

bool TCaptureDlg::PlaceholderRunning() const { return placeholder_ != nullptr; }

HRESULT TCaptureDlg::GrabPicture(QImage* picture)
{
    if (media::FilterGraph* graph = host_.Graph())
        return media::GrabPicture(*graph, methodInUse_ ? methodInUse_ : media::kCaptureRenderer,
                                  host_.PlayState() == 3, picture);
    if (host_.HasRealControl()) {
        // What the panel shows of the clip, cut to the video rectangle's
        // size about the panel's centre.
        const QWidget* panel = host_.ViewPanel();
        *picture = capture::CentredCut(media::AsCapturedPicture(host_.RealMediaPicture()),
                                       panel ? panel->size() : QSize(), host_.VideoRect());
        return picture->isNull() ? E_FAIL : S_OK;
    }
    return host_.GrabDvdPicture(picture);
}

void TCaptureDlg::BtnCaptureClick()
{
    if (windowTitle() != kCaption) setWindowTitle(kCaption);
    const TOpenedItem& item = host_.Item();
    if (item.AudioOnly || item.StillPicture) return;
    picture_ = QImage();
    if (newItem_) {
        saveFileName_.clear();
        newItem_ = false;
    }
    QImage grabbed;
    if (FAILED(GrabPicture(&grabbed)) || grabbed.isNull()) {
        picture_ = QImage();
        setWindowTitle(QStringLiteral("キャプチャ 失敗"));
        ShowPreview();
        return;
    }
    picture_ = grabbed;
    ShowPreview();
    if (ui_->CbSynchSave->isChecked()) SimultaneousSave();
}

void TCaptureDlg::SimultaneousSave()
{
    const QString ext = ui_->RadioButton1->isChecked() ? QStringLiteral(".bmp") : QStringLiteral(".jpg");
    if (!WritePicture(settings_.CaptureFolder + QLatin1Char('/') + baseName_ + ext))
        host_.ShowStatusText(QStringLiteral("保存できませんでした。"));
}

// ---- writing and copying ----

capture::VideoGeometry TCaptureDlg::Geometry() const
{
    capture::VideoGeometry g;
    g.hasGraph = host_.Graph() != nullptr || host_.DvdMode();
    g.videoWidth = int(host_.Item().VideoWidth);
    g.videoHeight = int(host_.Item().VideoHeight);
    g.videoRect = host_.VideoRect().size();
    if (const QWidget* panel = const_cast<IToolHost&>(host_).ViewPanel()) g.panel = panel->size();
    g.dvdMode = host_.DvdMode();
    g.dvdStretchVideo = host_.Settings().DVDStretchVideo;
    g.unlockAspect = host_.AspectUnlocked();
    return g;
}

capture::Correction TCaptureDlg::CurrentCorrection() const
{
    return {ui_->ChColor->isChecked(), ui_->CheckBox2->isChecked(), ui_->TrackBar1->value(), ui_->TrackBar2->value(),
            ui_->TrackBar3->value()};
}

QImage TCaptureDlg::OutputPicture() const
{
    if (picture_.isNull()) return {};
    const QSize size = capture::KeptSize(ui_->ComboBox1->currentIndex(), Geometry(), picture_.size());
    const capture::Interpolation how = !ui_->ChBicubic->isChecked()        ? capture::Interpolation::Smooth
                                       : ui_->ComboBox2->currentIndex() == 0 ? capture::Interpolation::Bilinear
                                                                             : capture::Interpolation::Bicubic;
    QImage out = capture::ResizedCopy(picture_, size, how);
    capture::ApplyCorrection(&out, CurrentCorrection());
    return out;
}

bool TCaptureDlg::WritePicture(const QString& path)
{
    if (picture_.isNull()) return false;
    const QString target = ui_->CbNumbering->isChecked() ? capture::NumberedName(path) : path;
    return capture::WritePictureFile(OutputPicture(), target, ui_->UpDownJpeg->value());
}

void TCaptureDlg::BtnSavePictureClick()
{
    if (picture_.isNull()) return;
    if (saveFolder_.isEmpty()) saveFolder_ = settings_.CaptureFolder;
    if (saveFileName_.isEmpty()) saveFileName_ = baseName_;
    QFileDialog dialog(this, QString(), saveFolder_);
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("bmp (*.bmp)"), QStringLiteral("jpg (*.jpg)")});
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    dialog.selectFile(saveFileName_);
    connect(&dialog, &QFileDialog::filterSelected, this, &TCaptureDlg::SaveDialogTypeChange);
    saveDialog_ = &dialog;
    SaveDialogShow();
    const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    SaveDialogClose();
    saveDialog_ = nullptr;
    if (!confirmed) return;
    const QString file = dialog.selectedFiles().constFirst();
    saveFileName_ = QFileInfo(file).fileName();
    saveFolder_ = QFileInfo(file).absolutePath();
    if (!WritePicture(file))
        ::MessageBox(this, QStringLiteral("保存できませんでした。"), QStringLiteral("Zoravel"),
                     MB_ICONINFORMATION | MB_TOPMOST);
}

void TCaptureDlg::BtnCopyClick()
{
    if (picture_.isNull()) return;
    QGuiApplication::clipboard()->setImage(OutputPicture());
}

// ---- the save dialog ----

void TCaptureDlg::SaveDialogShow()
{
    host_.SetDialogOpen(true);
    if (!saveDialog_) return;
    saveDialog_->adjustSize();
    const QRect own = frameGeometry();
    const QSize size = saveDialog_->frameGeometry().size().expandedTo(saveDialog_->size());
    TWindowPlacement::MoveInside(saveDialog_, QPoint(own.left() + (own.width() - size.width()) / 2,
                                                     own.top() + (own.height() - size.height()) / 2));
}

void TCaptureDlg::SaveDialogClose() { host_.SetDialogOpen(false); }

void TCaptureDlg::SaveDialogTypeChange()
{
    if (!saveDialog_) return;
    auto* box = saveDialog_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!box) return;
    QString name = box->text();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    if (name.isEmpty()) return;
    const int index = saveDialog_->nameFilters().indexOf(saveDialog_->selectedNameFilter()) + 1;
    box->setText(name + (index == 2 ? QStringLiteral(".jpg") : QStringLiteral(".bmp")));
}

// ---- corrections and the preview ----

void TCaptureDlg::ChColorClick() { UpdateCorrectionPanel(); }

void TCaptureDlg::UpdateCorrectionPanel()
{
    const bool on = ui_->ChColor->isChecked();
    const bool rgb = ui_->CheckBox2->isChecked();
    ui_->TrackBar1->setVisible(on);
    ui_->Label1->setVisible(on);
    ui_->Label2->setVisible(on);
    ui_->CheckBox2->setVisible(on);
    ui_->Button1->setVisible(on);
    for (QWidget* w : {static_cast<QWidget*>(ui_->TrackBar2), static_cast<QWidget*>(ui_->TrackBar3),
                       static_cast<QWidget*>(ui_->Label3), static_cast<QWidget*>(ui_->Label4),
                       static_cast<QWidget*>(ui_->LblGreen), static_cast<QWidget*>(ui_->LblBlue)})
        w->setVisible(on && rgb);
    const int width = ui_->CheckBox3->isChecked() ? kWideWidth : kNarrowWidth;
    if (!on) {
        SetClientSize(width, kPlainHeight);
        ShowPreview();
        return;
    }
    ui_->Label2->setText(rgb ? QStringLiteral("赤:") : QStringLiteral("明るさ:"));
    {
        // The bar takes the mode's own value without counting as the user's move.
        const QSignalBlocker block(ui_->TrackBar1);
        ui_->TrackBar1->setValue(rgb ? redValue_ : brightnessValue_);
    }
    ui_->Label1->setText(QString::number(ui_->TrackBar1->value()));
    SetClientSize(width, rgb ? kRgbHeight : kBrightnessHeight);
    ShowPreview();
    if (loading_) return;
    // Taller now: its bottom edge is pulled up into the work area.
    const std::vector<QRect> areas = TWindowPlacement::WorkAreas();
    const QScreen* screen = QGuiApplication::screenAt(frameGeometry().center());
    QRect area = areas.empty() ? QRect() : areas.front();
    if (screen) area = screen->availableGeometry();
    QRect frame = frameGeometry();
    if (area.isValid() && frame.bottom() > area.bottom()) frame.moveBottom(area.bottom());
    if (frame.top() < 0) frame.moveTop(0);
    if (frame.topLeft() != frameGeometry().topLeft()) move(frame.topLeft());
}

void TCaptureDlg::TrackBar1Change()
{
    ui_->Label1->setText(QString::number(ui_->TrackBar1->value()));
    if (!ui_->ChColor->isChecked()) return;
    if (ui_->CheckBox2->isChecked())
        redValue_ = ui_->TrackBar1->value();
    else
        brightnessValue_ = ui_->TrackBar1->value();
    ShowPreview();
}

void TCaptureDlg::TrackBar2Change()
{
    ui_->Label3->setText(QString::number(ui_->TrackBar2->value()));
    ui_->Label4->setText(QString::number(ui_->TrackBar3->value()));
    ShowPreview();
}

void TCaptureDlg::Button1Click()
{
    ui_->TrackBar1->setValue(0);
    ui_->TrackBar2->setValue(0);
    ui_->TrackBar3->setValue(0);
}

void TCaptureDlg::ShowPreview()
{
    if (picture_.isNull()) {
        ui_->CaptureImage->clear();
        return;
    }
    QImage shown = picture_.copy();
    capture::ApplyCorrection(&shown, CurrentCorrection());
    const QSize room = ui_->CaptureImage->size();
    ui_->CaptureImage->setPixmap(
        QPixmap::fromImage(shown.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void TCaptureDlg::CheckBox3Click()
{
    const bool detail = ui_->CheckBox3->isChecked();
    SetClientSize(detail ? kWideWidth : kNarrowWidth, height());
    for (QWidget* w : {static_cast<QWidget*>(ui_->ComboBox1), static_cast<QWidget*>(ui_->RadioButton1),
                       static_cast<QWidget*>(ui_->RadioButton2), static_cast<QWidget*>(ui_->Button2),
                       static_cast<QWidget*>(ui_->UpDownJpeg), static_cast<QWidget*>(ui_->ChBicubic),
                       static_cast<QWidget*>(ui_->ComboBox2)})
        w->setEnabled(detail);
}

void TCaptureDlg::Button2Click()
{
    QFileDialog dialog(this, QStringLiteral("保存先のフォルダを選択してください。"), settings_.CaptureFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    host_.SetDialogOpen(true);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    host_.SetDialogOpen(false);
    if (chosen) settings_.CaptureFolder = dialog.selectedFiles().constFirst();
}

// ---- the window ----

void TCaptureDlg::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        close();
        return;
    }
    // The four actions take the main window's keys for its menu items.
    const WORD code = keys::ShortCutOf(*e);
    if (code != 0) {
        if (code == host_.MenuShortCut("miShowBrowser")) return host_.MiFileBrowserClick();
        if (code == host_.MenuShortCut("miShowEditList")) return host_.MiListEditClick();
        if (code == host_.MenuShortCut("miShowCapDlg")) {
            close();
            return;
        }
        if (code == host_.MenuShortCut("miChangeWindow")) {
            if (!host_.FocusToolWindow(TToolWindow::FileBrowser)) host_.FocusToolWindow(TToolWindow::PlayListEditor);
            return;
        }
    }
    QWidget::keyPressEvent(e);
}

void TCaptureDlg::wheelEvent(QWheelEvent* e)
{
    host_.FocusMainWindow();
    e->accept();
}

void TCaptureDlg::mousePressEvent(QMouseEvent* e)
{
    // A press on the form's own surface drags the window.
    if (e->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
        e->accept();
        return;
    }
    QWidget::mousePressEvent(e);
}

void TCaptureDlg::closeEvent(QCloseEvent* e)
{
    // The main window deletes this window when the notice arrives.
    host_.PostToolNotice(ToolNotice::CaptureClosed, 0);
    QWidget::closeEvent(e);
}
