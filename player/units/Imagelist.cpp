#include "player/units/Imagelist.h"

#include <QAction>
#include <QIconEngine>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <cmath>

namespace {

// One glyph of a list. Glyphs are drawn on a 16 x 16 grid scaled to the
// requested rectangle.
enum class Glyph {
    Play, Pause, Resume, Stop, Open, Rewind, FastForward, Previous, Next, StepForward, StepBackward,
    SkipForward, SkipBackward, PlayList, Library, Folder, Power, Windows, App
};

struct TImage {
    Glyph glyph;
    bool pressed;   // drawn on a sunken plate
};

const TImage kStartImages[StartImage::Count] = {
    {Glyph::Play, false}, {Glyph::Play, true},   {Glyph::Pause, false},
    {Glyph::Pause, true}, {Glyph::Resume, true}, {Glyph::Resume, false},
};

const TImage kToolImages[ToolImage::Count] = {
    {Glyph::Open, false},        {Glyph::Stop, false},        {Glyph::Rewind, false},
    {Glyph::StepBackward, false}, {Glyph::StepForward, false}, {Glyph::SkipForward, false},
    {Glyph::SkipBackward, false}, {Glyph::FastForward, false}, {Glyph::Previous, false},
    {Glyph::Next, false},        {Glyph::PlayList, false},    {Glyph::Library, false},
    {Glyph::Folder, false},      {Glyph::Power, false},       {Glyph::Windows, false},
};

QPolygonF Triangle(QPointF a, QPointF b, QPointF c)
{
    QPolygonF p;
    p << a << b << c;
    return p;
}

// A curved arrow over the top, pointing right (clockwise) or left.
void DrawTurnArrow(QPainter& p, const QColor& ink, bool clockwise)
{
    QPainterPath arc;
    if (clockwise) {
        arc.moveTo(2.5, 12.5);
        arc.cubicTo(2.5, 4.0, 11.5, 3.0, 12.5, 8.0);
    } else {
        arc.moveTo(13.5, 12.5);
        arc.cubicTo(13.5, 4.0, 4.5, 3.0, 3.5, 8.0);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(arc);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    if (clockwise)
        p.drawPolygon(Triangle({9.0, 7.5}, {15.5, 7.0}, {12.5, 12.5}));
    else
        p.drawPolygon(Triangle({7.0, 7.5}, {0.5, 7.0}, {3.5, 12.5}));
}

void DrawGlyph(QPainter& p, Glyph glyph, const QColor& ink, bool on)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const QPen outline(ink, 1.4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    switch (glyph) {
    case Glyph::Play:
        p.drawPolygon(Triangle({4, 2.5}, {13.5, 8}, {4, 13.5}));
        break;
    case Glyph::Pause:
        p.drawRect(QRectF(3.5, 3, 3.5, 10));
        p.drawRect(QRectF(9, 3, 3.5, 10));
        break;
    case Glyph::Resume:
        p.drawRect(QRectF(2.5, 3, 2.5, 10));
        p.drawPolygon(Triangle({6.5, 2.5}, {14.5, 8}, {6.5, 13.5}));
        break;
    case Glyph::Stop:
        p.drawRect(QRectF(3.5, 3.5, 9, 9));
        break;
    case Glyph::Open:
        p.drawPolygon(Triangle({2.5, 9}, {8, 3}, {13.5, 9}));
        p.drawRect(QRectF(2.5, 10.5, 11, 2.5));
        break;
    case Glyph::Rewind:
        p.drawPolygon(Triangle({8, 3}, {1, 8}, {8, 13}));
        p.drawPolygon(Triangle({15, 3}, {8, 8}, {15, 13}));
        break;
    case Glyph::FastForward:
        p.drawPolygon(Triangle({1, 3}, {8, 8}, {1, 13}));
        p.drawPolygon(Triangle({8, 3}, {15, 8}, {8, 13}));
        break;
    case Glyph::Previous:
        p.drawRect(QRectF(2.5, 3, 2.5, 10));
        p.drawPolygon(Triangle({13.5, 3}, {5.5, 8}, {13.5, 13}));
        break;
    case Glyph::Next:
        p.drawPolygon(Triangle({2.5, 3}, {10.5, 8}, {2.5, 13}));
        p.drawRect(QRectF(11, 3, 2.5, 10));
        break;
    case Glyph::StepForward:
        p.setBrush(Qt::NoBrush);
        p.setPen(outline);
        p.drawRect(QRectF(1.5, 3.5, 6, 9));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(Triangle({9.5, 3.5}, {15, 8}, {9.5, 12.5}));
        break;
    case Glyph::StepBackward:
        p.drawPolygon(Triangle({6.5, 3.5}, {1, 8}, {6.5, 12.5}));
        p.setBrush(Qt::NoBrush);
        p.setPen(outline);
        p.drawRect(QRectF(8.5, 3.5, 6, 9));
        break;
    case Glyph::SkipForward:
        DrawTurnArrow(p, ink, true);
        break;
    case Glyph::SkipBackward:
        DrawTurnArrow(p, ink, false);
        break;
    case Glyph::PlayList:
        for (double y : {3.0, 7.0, 11.0}) p.drawRect(QRectF(5, y, 9, 2));
        for (double y : {3.0, 7.0, 11.0}) p.drawRect(QRectF(2, y, 2, 2));
        break;
    case Glyph::Library:
        p.drawRect(QRectF(2, 4, 3, 10));
        p.drawRect(QRectF(6, 2, 3, 12));
        p.save();
        p.translate(12, 3);
        p.rotate(15);
        p.drawRect(QRectF(0, 0, 3, 11));
        p.restore();
        break;
    case Glyph::Folder: {
        QPolygonF folder;
        folder << QPointF(1.5, 3.5) << QPointF(6, 3.5) << QPointF(7.5, 5) << QPointF(14.5, 5)
               << QPointF(14.5, 13) << QPointF(1.5, 13);
        p.drawPolygon(folder);
        break;
    }
    case Glyph::Power: {
        const QColor lit = on ? QColor(200, 30, 30) : ink;
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(lit, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(2.5, 3, 11, 11), 120 * 16, 300 * 16);
        p.drawLine(QPointF(8, 1.5), QPointF(8, 7.5));
        break;
    }
    case Glyph::Windows:
        p.setBrush(Qt::NoBrush);
        p.setPen(outline);
        p.drawRect(QRectF(1.5, 1.5, 9, 7));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(QRectF(1.5, 1.5, 9, 2));
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(5.5, 6.5, 9, 7));
        p.setBrush(Qt::NoBrush);
        p.setPen(outline);
        p.drawRect(QRectF(5.5, 6.5, 9, 7));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(QRectF(5.5, 6.5, 9, 2));
        break;
    case Glyph::App:
        p.setBrush(QColor(30, 60, 120));
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
        p.setBrush(QColor(255, 255, 255));
        p.drawPolygon(Triangle({5, 3.5}, {12.5, 8}, {5, 12.5}));
        break;
    }
}

// Paints one image at any size, greyed when disabled.
class TGlyphEngine : public QIconEngine {
public:
    explicit TGlyphEngine(TImage image) : image_(image) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        const double side = std::min(rect.width(), rect.height());
        painter->translate(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / 16.0, side / 16.0);
        if (image_.pressed) {
            painter->setPen(QPen(QColor(120, 120, 120), 1.0));
            painter->setBrush(QColor(205, 205, 205));
            painter->drawRect(QRectF(0.5, 0.5, 15, 15));
        }
        QColor ink = mode == QIcon::Disabled ? QColor(160, 160, 160) : QColor(40, 40, 40);
        if (mode == QIcon::Active) ink = QColor(0, 0, 0);
        DrawGlyph(*painter, image_.glyph, ink, state == QIcon::On && mode != QIcon::Disabled);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QIconEngine* clone() const override { return new TGlyphEngine(image_); }

private:
    TImage image_;
};

const char* const kListProperty = "ImageList";
const char* const kIndexProperty = "ImageIndex";

}  // namespace

int ImageCount(TImageList list)
{
    return list == TImageList::Start ? StartImage::Count : ToolImage::Count;
}

QIcon ListImage(TImageList list, int index)
{
    if (index < 0 || index >= ImageCount(list)) return QIcon();
    const TImage& image = list == TImageList::Start ? kStartImages[index] : kToolImages[index];
    return QIcon(new TGlyphEngine(image));
}

TImageList ButtonImageList(const QToolButton* button)
{
    if (button && button->property(kListProperty).toString() == QLatin1String("Start")) return TImageList::Start;
    return TImageList::Tool;
}

void SetButtonImage(QToolButton* button, int index)
{
    if (!button) return;
    const TImageList list = ButtonImageList(button);
    if (index < 0 || index >= ImageCount(list)) {
        button->setIcon(QIcon());
        button->setProperty(kIndexProperty, -1);
        return;
    }
    button->setIcon(ListImage(list, index));
    button->setProperty(kIndexProperty, index);
}

int ButtonImageIndex(const QToolButton* button)
{
    if (!button) return -1;
    bool ok = false;
    const int index = button->property(kIndexProperty).toInt(&ok);
    return ok ? index : -1;
}

QIcon ZoravelIcon() { return QIcon(new TGlyphEngine({Glyph::App, false})); }

void ApplyFormDesign(QMainWindow* form)
{
    if (!form) return;
    for (QToolButton* button : form->findChildren<QToolButton*>()) {
        if (button->property(kIndexProperty).isValid()) SetButtonImage(button, ButtonImageIndex(button));
    }
    for (QMenu* menu : form->findChildren<QMenu*>()) {
        QAction* item = menu->menuAction();
        item->setObjectName(menu->objectName());
        const QVariant tag = menu->property("Tag");
        if (tag.isValid()) {
            item->setProperty("Tag", tag);
            menu->setProperty("Tag", QVariant());   // one place only: the item
        }
        const QVariant visible = menu->property("ItemVisible");
        if (visible.isValid()) {
            item->setVisible(visible.toBool());
            menu->setProperty("ItemVisible", QVariant());
        }
    }
}
