#include "player/tools/TDlgInputURL.h"

#include "player/tools/WindowPlacement.h"
#include "ui_TDlgInputURL.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>

QString PastedAddress(const QMimeData* clipboard)
{
    if (!clipboard || !clipboard->hasText()) return QString();
    // An address is one line: taken whole, however long, without what a
    // copied paragraph brings around it.
    const QString text = clipboard->text().trimmed();
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    return end < 0 ? text : text.left(end).trimmed();
}

TDlgInputURL::TDlgInputURL(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TDlgInputURL>())
{
    ui_->setupUi(this);
    connect(ui_->Button1, &QPushButton::clicked, this, &TDlgInputURL::Button1Click);
}

TDlgInputURL::~TDlgInputURL() = default;

QLineEdit* TDlgInputURL::Edit1() const { return ui_->Edit1; }

void TDlgInputURL::Button1Click()
{
    const QString address = PastedAddress(QGuiApplication::clipboard()->mimeData());
    if (!address.isEmpty()) ui_->Edit1->setText(address);
}

void TDlgInputURL::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    TWindowPlacement::CentreOnScreen(this);
}
