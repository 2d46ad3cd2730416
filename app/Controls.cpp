#include "app/Controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace quillbox::app {

PanelControl::PanelControl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PanelControl::setColour(const QColor& colour) {
    if (colour != m_colour) {
        m_colour = colour;
        update();
    }
}

void PanelControl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), m_colour);
}

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

void ImageControl::setPicture(const QPixmap& picture) {
    m_picture = picture;
    if (m_autoSize && !m_stretch && !picture.isNull()) {
        resize(picture.deviceIndependentSize().toSize());
    }
    update();
}

void ImageControl::paintEvent(QPaintEvent* /*event*/) {
    if (m_picture.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_stretch) {
        painter.drawPixmap(rect(), m_picture);
    } else {
        painter.drawPixmap(QPoint(0, 0), m_picture);
    }
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
    if (onMouseMove) {
        onMouseMove(event);
    }
    // Taken here: passed on, the move would reach the panel below, whose
    // moves hide the highlight frame this one has just shown.
    event->accept();
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    if (onMousePress) {
        onMousePress(event);
    }
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->pos());
    m_pressed = false;
    if (onMouseRelease) {
        onMouseRelease(event);
    }
    if (click && onClick) {
        onClick();
    }
}

}  // namespace quillbox::app
