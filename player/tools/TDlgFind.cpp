#include "player/tools/TDlgFind.h"

#include "platform/dialogs/dialogs.h"
#include "player/tools/WindowPlacement.h"
#include "ui_TDlgFind.h"

TDlgFind::TDlgFind(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TDlgFind>())
{
    ui_->setupUi(this);
    const TSearchKinds kinds = TSearchKinds::Load();
    for (int k = 0; k < TSearchKinds::KindCount; ++k) Box(TSearchKinds::Kind(k))->setChecked(kinds.on[k]);
    ui_->EditCus1->setText(kinds.custom1);
    ui_->EditCus2->setText(kinds.custom2);
    connect(ui_->Button1, &QPushButton::clicked, this, &TDlgFind::Button1Click);
    connect(ui_->OKBtn, &QPushButton::clicked, this, &TDlgFind::OKBtnClick);
}

TDlgFind::~TDlgFind() = default;

QCheckBox* TDlgFind::Box(TSearchKinds::Kind kind) const
{
    switch (kind) {
    case TSearchKinds::Mpeg: return ui_->CbMpeg;
    case TSearchKinds::WindowsMedia: return ui_->CbWMedia;
    case TSearchKinds::Avi: return ui_->CbMovie;
    case TSearchKinds::RealMedia: return ui_->CbRealMedia;
    case TSearchKinds::Mp3: return ui_->CbMp3;
    case TSearchKinds::Audio: return ui_->CbAudio;
    case TSearchKinds::Midi: return ui_->CbMidi;
    case TSearchKinds::Picture: return ui_->CbPicture;
    case TSearchKinds::List: return ui_->CbList;
    case TSearchKinds::Custom1: return ui_->CbSerchCus1;
    case TSearchKinds::Custom2: return ui_->CbSerchCus2;
    case TSearchKinds::KindCount: break;
    }
    return nullptr;
}

TSearchKinds TDlgFind::Kinds() const
{
    TSearchKinds kinds;
    for (int k = 0; k < TSearchKinds::KindCount; ++k) kinds.on[k] = Box(TSearchKinds::Kind(k))->isChecked();
    kinds.custom1 = ui_->EditCus1->text();
    kinds.custom2 = ui_->EditCus2->text();
    return kinds;
}

void TDlgFind::Button1Click()
{
    for (int k = 0; k < TSearchKinds::Custom1; ++k) Box(TSearchKinds::Kind(k))->setChecked(true);
    if (!ui_->EditCus1->text().isEmpty()) ui_->CbSerchCus1->setChecked(true);
    if (!ui_->EditCus2->text().isEmpty()) ui_->CbSerchCus2->setChecked(true);
}

void TDlgFind::OKBtnClick()
{
    TSearchKinds kinds = Kinds();
    if (!kinds.AnyOn()) {
        MessageBox(this, QStringLiteral("検索ファイルが設定されていません。"), QStringLiteral("情報"),
                   MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
        return;
    }
    for (QString* custom : {&kinds.custom1, &kinds.custom2})
        if (custom->startsWith(QLatin1Char('.'))) custom->remove(0, 1);
    kinds.Save();
    accept();
}

void TDlgFind::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    TWindowPlacement::CentreOver(this, parentWidget());
}
