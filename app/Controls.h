#pragma once
// The window's own widget kinds: a panel with a plain background, and a
// picture control (buttons are pictures) that reports the mouse to the window.

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <functional>

namespace quillbox::app {

// A screen or overlay panel: a rectangle of one colour that holds controls.
class PanelControl : public QWidget {
    Q_OBJECT
  public:
    explicit PanelControl(QWidget* parent = nullptr);
    void setColour(const QColor& colour);
    QColor colour() const { return m_colour; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_colour{Qt::white};
};

// A picture. Stretched, the picture fills the control; otherwise the control
// takes the picture's size when it is given one (autoSize). A disabled
// control takes no mouse events.
class ImageControl : public QWidget {
    Q_OBJECT
  public:
    explicit ImageControl(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return m_picture; }
    void setStretch(bool stretch) { m_stretch = stretch; }
    bool stretch() const { return m_stretch; }
    void setAutoSize(bool autoSize) { m_autoSize = autoSize; }

    std::function<void()> onClick;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QMouseEvent*)> onMousePress;
    std::function<void(QMouseEvent*)> onMouseRelease;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QPixmap m_picture;
    bool m_stretch = false;
    bool m_autoSize = true;
    bool m_pressed = false;
};

}  // namespace quillbox::app
