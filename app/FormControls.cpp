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

namespace quillbox::app {
namespace {

constexpr int kWindowFontPixels = 11;

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Qt::Alignment alignmentOf(const ControlSpec& spec) {
    switch (spec.align) {
        case TextAlign::Centre:
            return Qt::AlignHCenter | Qt::AlignTop;
        case TextAlign::Right:
            return Qt::AlignRight | Qt::AlignTop;
        case TextAlign::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

QWidget* makeControl(const ControlSpec& spec, QWidget* parent, double scale) {
    switch (spec.kind) {
        case ControlKind::Panel: {
            auto* panel = new PanelControl(parent);
            panel->setColour(QColor::fromRgb(spec.colour));
            return panel;
        }
        case ControlKind::Image: {
            auto* image = new ImageControl(parent);
            image->setStretch(spec.stretch);
            image->setAutoSize(spec.width == 0);
            if (!spec.picture.empty()) {
                const QSize size = spec.width > 0 ? QSize(roundEven(spec.width * scale),
                                                          roundEven(spec.height * scale))
                                                  : QSize();
                image->setPicture(skinPicture(spec.picture, scale, size));
            }
            return image;
        }
        case ControlKind::Label:
        case ControlKind::JustifiedLabel: {
            auto* label = new QLabel(text(spec.text), parent);
            label->setAlignment(alignmentOf(spec));
            label->setWordWrap(spec.wordWrap || spec.kind == ControlKind::JustifiedLabel);
            label->setMouseTracking(true);
            return label;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text(spec.text), parent);
        case ControlKind::Edit:
        case ControlKind::PasswordEdit: {
            auto* edit = new QLineEdit(parent);
            edit->setFrame(false);
            if (spec.kind == ControlKind::PasswordEdit) {
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
    for (const ControlSpec& spec : formDesign()) {
        QWidget* parent = spec.parent.empty() ? this : control(spec.parent);
        if (parent == nullptr) {
            parent = this;
        }
        QWidget* widget = makeControl(spec, parent, Scale);
        widget->setObjectName(text(spec.name));
        const bool sized = !(spec.kind == ControlKind::Image && spec.width == 0);
        widget->move(roundEven(spec.left * Scale), roundEven(spec.top * Scale));
        if (sized) {
            widget->resize(roundEven(spec.width * Scale), roundEven(spec.height * Scale));
        }
        QFont font = widget->font();
        if (!spec.font.family.empty()) {
            font.setFamily(text(spec.font.family));
        }
        font.setPixelSize(
            roundEven((spec.font.pixelSize > 0 ? spec.font.pixelSize : kWindowFontPixels) * Scale));
        font.setBold(spec.font.bold);
        font.setUnderline(spec.font.underline);
        font.setItalic(spec.font.italic);
        widget->setFont(font);
        if (!spec.hint.empty()) {
            widget->setToolTip(text(spec.hint));
        }
        widget->setEnabled(spec.enabled);
        widget->setVisible(spec.visible);
        m_controls.emplace(std::string(spec.name), widget);
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
