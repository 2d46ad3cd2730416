// TCoolText: a text label that can set its text in justified paragraphs with
// an indented first line.

#pragma once

#include <QLabel>
#include <QtGlobal>

class QPainter;
class QRect;

namespace quillbox::controls {

// A QLabel that keeps all of the plain label's properties and behaviour and
// adds two: CoolAlignment taCool draws the text justified (see
// layoutJustified), any other value draws it as the plain label does, aligned
// by the inherited alignment; ParagraphWidth is the first line's indent in
// pixels in justified drawing. The text is plain Unicode text.
class TCoolText : public QLabel {
    Q_OBJECT
    Q_PROPERTY(TCoolAlignment CoolAlignment READ coolAlignment WRITE setCoolAlignment)
    Q_PROPERTY(int ParagraphWidth READ paragraphWidth WRITE setParagraphWidth)

  public:
    enum TCoolAlignment : quint8 { taLeftJustify, taRightJustify, taCenter, taCool };
    Q_ENUM(TCoolAlignment)

    // A label like QLabel(parent), with CoolAlignment taLeftJustify and
    // ParagraphWidth 30. The parent, when given, owns it.
    explicit TCoolText(QWidget* parent = nullptr);

    TCoolAlignment coolAlignment() const { return m_coolAlignment; }
    int paragraphWidth() const { return m_paragraphWidth; }

    // Store a changed value and schedule a repaint; an equal value changes nothing.
    void setCoolAlignment(TCoolAlignment alignment);
    void setParagraphWidth(int width);

  protected:
    void paintEvent(QPaintEvent* event) override;

    // Draws the text justified into rect with painter, each piece left-aligned
    // with flags added (tabs expanded); lines below the rect are clipped.
    void DrawCaption(QPainter& painter, const QRect& rect, int flags) const;

  private:
    TCoolAlignment m_coolAlignment = taLeftJustify;
    int m_paragraphWidth = 30;
};

}  // namespace quillbox::controls
