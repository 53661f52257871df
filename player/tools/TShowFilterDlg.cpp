#include "player/tools/TShowFilterDlg.h"

#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/OpenedItem.h"
#include "ui_TShowFilterDlg.h"

#include <gst/gst.h>

#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Draws an item without its flag: grey when the element has nothing to set,
// highlighted only when selected and settable.
class FilterItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QString text = index.data().toString();
        const bool settable = text.startsWith(QLatin1Char('1'));
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& pal = option.palette;
        QColor back = pal.color(QPalette::Base);
        QColor fore = settable ? pal.color(QPalette::Text) : pal.color(QPalette::Disabled, QPalette::Text);
        if (selected && settable) {
            back = pal.color(QPalette::Highlight);
            fore = pal.color(QPalette::HighlightedText);
        }
        painter->fillRect(option.rect, back);
        painter->setPen(fore);
        painter->drawText(option.rect.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, text.mid(1));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), std::max(12, option.fontMetrics.height()));
    }
};

}  // namespace

QStringList FilterListItems(const std::vector<media::GraphElement>& elements, int audioStreamItems)
{
    const auto renderers = std::count_if(elements.begin(), elements.end(),
                                         [](const media::GraphElement& e) { return e.audioRenderer; });
    const bool pickOne = audioStreamItems > 0 && renderers == audioStreamItems;
    int count = audioStreamItems;
    QStringList items;
    for (const media::GraphElement& e : elements) {
        if (pickOne && e.audioRenderer && --count != 0) continue;
        items.append(QLatin1String(e.offersPages ? "1" : "0") + e.name);
    }
    return items;
}

TShowFilterDlg::TShowFilterDlg(IToolHost& host)
    : QDialog(host.HostWindow()), host_(host), ui_(std::make_unique<Ui::TShowFilterDlg>())
{
    ui_->setupUi(this);
    setFixedSize(size());
    ui_->ListBoxFilter->setItemDelegate(new FilterItemDelegate(ui_->ListBoxFilter));
    connect(ui_->ListBoxFilter, &QListWidget::itemDoubleClicked, this, &TShowFilterDlg::ListBoxFilterDblClick);
    connect(ui_->OKBtn, &QPushButton::clicked, this, &QDialog::reject);
    if (host_.PlayingPipeline()) FillList();
    if (!host_.Item().AudioOnly) ShowVideoLabels();
    TWindowPlacement::CentreOver(this, host_.HostWindow());
}

TShowFilterDlg::~TShowFilterDlg() = default;

QListWidget* TShowFilterDlg::ListBoxFilter() const { return ui_->ListBoxFilter; }

void TShowFilterDlg::FillList()
{
    const auto elements = media::LeafElements(host_.PlayingPipeline());
    ui_->ListBoxFilter->addItems(FilterListItems(elements, host_.AudioStreamItems()));
}

void TShowFilterDlg::ShowVideoLabels()
{
    int width = 0, height = 0, aspectX = 0, aspectY = 0;
    if (!host_.VideoFormatSize(&width, &height, &aspectX, &aspectY)) return;
    if (width != 0 && height != 0) ui_->Label1->setText(QString::asprintf("%d x %d", width, height));
    if (aspectX != 0 && aspectY != 0) ui_->Label2->setText(QString::asprintf("%d : %d", aspectX, aspectY));
}

void TShowFilterDlg::ListBoxFilterDblClick()
{
    GstElement* pipeline = host_.PlayingPipeline();
    QListWidgetItem* item = ui_->ListBoxFilter->currentItem();
    if (!pipeline || !item) return;
    // Two elements of one name: the first found, walked as the list was.
    GstElement* element = media::FindElementByName(pipeline, item->text().mid(1));
    if (!element) return;
    properties_ = media::CreatePropertyDialog(element, this);
    gst_object_unref(element);
    if (!properties_) return;
    properties_->move(0, 0);
    properties_->exec();
}
