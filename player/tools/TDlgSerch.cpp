#include "player/tools/TDlgSerch.h"

#include "player/tools/ThinFrame.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "ui_TDlgSerch.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>

TDlgSerch::TDlgSerch(IToolHost& host, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      host_(host),
      ui_(std::make_unique<Ui::TDlgSerch>()),
      search_(TSearchKinds::Load())
{
    ui_->setupUi(this);
    setAttribute(Qt::WA_ShowWithoutActivating);
    connect(ui_->Button1, &QPushButton::clicked, this, &TDlgSerch::Button1Click);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1500);
    connect(Timer1, &QTimer::timeout, this, &TDlgSerch::Timer1Timer);
    Timer1->start();
    TWindowPlacement::CentreOnScreen(this);
}

TDlgSerch::~TDlgSerch() { FormDestroy(); }

void TDlgSerch::FollowExtensionList(const QString& extensionList)
{
    search_ = TFolderSearch::ByExtensionList(extensionList);
}

bool TDlgSerch::SearchFolder(const QString& folder)
{
    // The window may go while events are processed (with its owner): the
    // scan then ends without touching it, on a copy of its own.
    const TFolderSearch search = search_;
    QPointer<TDlgSerch> self(this);
    IToolHost& host = host_;
    return search.Run(
        folder, [&host](const QString& path) { host.AddPathOrPlayList(path); },
        [self, &host] {
            QCoreApplication::processEvents();
            return self && host.ScanGoesOn();
        });
}

void TDlgSerch::Button1Click()
{
    ui_->Button1->clearFocus();
    host_.SetScanGoesOn(false);
}

void TDlgSerch::Timer1Timer()
{
    Timer1->stop();
    show();
}

void TDlgSerch::FormShow()
{
    // The animation runs by itself; the window is drawn now, as the scan
    // gives the event loop only short turns.
    repaint();
}

void TDlgSerch::FormMouseDown(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    // No caption bar: the window is dragged by its face.
    if (QWindow* window = windowHandle()) window->startSystemMove();
}

void TDlgSerch::FormDestroy() { Timer1->stop(); }

void TDlgSerch::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    FormShow();
}

void TDlgSerch::mousePressEvent(QMouseEvent* e)
{
    FormMouseDown(e);
    QWidget::mousePressEvent(e);
}

void TDlgSerch::paintEvent(QPaintEvent* e)
{
    QWidget::paintEvent(e);
    // No caption bar: the edge is drawn.
    DrawThinFrame(this);
}
