// The thin raised frame that marks the edge of a window without a caption
// bar; its paintEvent calls it after the window's own painting.
#pragma once

#include <QPainter>
#include <QPalette>
#include <QWidget>

inline void DrawThinFrame(QWidget* window)
{
    QPainter painter(window);
    const QRect edge = window->rect().adjusted(0, 0, -1, -1);
    painter.setPen(window->palette().color(QPalette::Light));
    painter.drawLine(edge.topLeft(), edge.topRight());
    painter.drawLine(edge.topLeft(), edge.bottomLeft());
    painter.setPen(window->palette().color(QPalette::Dark));
    painter.drawLine(edge.bottomLeft(), edge.bottomRight());
    painter.drawLine(edge.topRight(), edge.bottomRight());
}
