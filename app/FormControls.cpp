// The window's controls, made from the design table at the window's scale,
// and looked up by name.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include "app/Controls.h"
#include "app/Design.h"
#include "app/Form.h"
#include "app/Skin.h"
#include "controls/CoolText.h"

namespace quillbox::app {
namespace {

constexpr int kWindowFontPixels = 11;
// The first-line indent of justified texts, at design.
constexpr int kParagraphIndent = 30;

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Qt::Alignment alignmentOf(const ControlRow& row) {
    switch (row.align) {
        case TextAlign::Centre:
            return Qt::AlignHCenter | Qt::AlignTop;
        case TextAlign::Right:
            return Qt::AlignRight | Qt::AlignTop;
        case TextAlign::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

QWidget* makeControl(const ControlRow& row, QWidget* parent, double scale) {
    switch (row.kind) {
        case ControlKind::Panel: {
            auto* panel = new PanelControl(parent);
            panel->setColour(QColor::fromRgb(row.colour));
            return panel;
        }
        case ControlKind::Image: {
            auto* image = new ImageControl(parent);
            image->setStretch(row.stretch);
            image->setAutoSize(row.width == 0);
            if (!row.picture.empty()) {
                const QSize size = row.width > 0 ? QSize(roundEven(row.width * scale),
                                                         roundEven(row.height * scale))
                                                 : QSize();
                image->setPicture(skinPicture(row.picture, scale, size));
            }
            return image;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(text(row.text), parent);
            label->setAlignment(alignmentOf(row));
            label->setWordWrap(row.wordWrap);
            return label;
        }
        case ControlKind::JustifiedLabel: {
            auto* label = new controls::TCoolText(parent);
            label->setText(text(row.text));
            label->setWordWrap(true);
            label->setParagraphWidth(roundEven(kParagraphIndent * scale));
            label->setCoolAlignment(controls::TCoolText::taCool);
            return label;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text(row.text), parent);
        case ControlKind::Edit:
        case ControlKind::PasswordEdit: {
            auto* edit = new QLineEdit(parent);
            edit->setFrame(false);
            if (row.kind == ControlKind::PasswordEdit) {
                edit->setEchoMode(QLineEdit::Password);
            }
            return edit;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setFrameShape(QFrame::NoFrame);
            list->setMouseTracking(true);
            return list;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return new QWidget(parent);
}

}  // namespace

void TForm1::createControls() {
    for (const ControlRow& row : formDesign()) {
        QWidget* parent = row.parent.empty() ? this : control(row.parent);
        if (parent == nullptr) {
            parent = this;
        }
        QWidget* widget = makeControl(row, parent, Scale);
        widget->setObjectName(text(row.name));
        const bool sized = !(row.kind == ControlKind::Image && row.width == 0);
        widget->move(roundEven(row.left * Scale), roundEven(row.top * Scale));
        if (sized) {
            widget->resize(roundEven(row.width * Scale), roundEven(row.height * Scale));
        }
        QFont font = widget->font();
        if (!row.font.family.empty()) {
            font.setFamily(text(row.font.family));
        }
        font.setPixelSize(
            roundEven((row.font.pixelSize > 0 ? row.font.pixelSize : kWindowFontPixels) * Scale));
        font.setBold(row.font.bold);
        font.setUnderline(row.font.underline);
        font.setItalic(row.font.italic);
        widget->setFont(font);
        if (!row.hint.empty()) {
            widget->setToolTip(text(row.hint));
        }
        widget->setMouseTracking(true);
        widget->setEnabled(row.enabled);
        widget->setVisible(row.visible);
        m_controls.emplace(std::string(row.name), widget);
    }
}

QWidget* TForm1::control(std::string_view name) const {
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second;
}

ImageControl* TForm1::image(std::string_view name) const {
    return qobject_cast<ImageControl*>(control(name));
}

PanelControl* TForm1::panel(std::string_view name) const {
    return qobject_cast<PanelControl*>(control(name));
}

QLabel* TForm1::label(std::string_view name) const {
    return qobject_cast<QLabel*>(control(name));
}

}  // namespace quillbox::app
