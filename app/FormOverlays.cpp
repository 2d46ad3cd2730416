// The overlays over the current screen: the two-second message, the
// hourglass and the copy box, and the user's way to stop what they wait for.

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/QtHost.h"

namespace quillbox::app {
namespace {

// Puts an overlay on the current screen, or, before any screen was shown, on
// the window at the place of the display area, so that it never hangs on
// nothing.
void attach(QWidget* overlay, QWidget* current, QWidget* window, QPoint displayArea, QPoint at) {
    if (overlay == nullptr) {
        return;
    }
    QWidget* host = current != nullptr ? current : window;
    if (overlay->parentWidget() != host) {
        overlay->setParent(host);
    }
    overlay->move(current != nullptr ? at : displayArea + at);
    overlay->show();
    overlay->raise();
}

// The text with a zero-width space every few characters of a long run
// without blanks, so that word wrap can break an address or a long word.
QString breakable(const QString& text) {
    constexpr int kRun = 12;
    QString out;
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        out += c;
        if (run == kRun) {
            out += QChar(0x200B);
            run = 0;
        }
    }
    return out;
}

// Sets the text in the largest font, from the label's own size down, with
// which all of it fits the label: a message is always shown whole.
void setWholeText(QLabel* label, const QString& text, int designPixels) {
    QFont font = label->font();
    for (int pixels = designPixels; pixels >= 6; --pixels) {
        font.setPixelSize(pixels);
        const QRect needed = QFontMetrics(font).boundingRect(QRect(0, 0, label->width(), 1 << 20),
                                                             Qt::TextWordWrap, text);
        if (needed.height() <= label->height()) {
            break;
        }
    }
    label->setFont(font);
    label->setText(text);
}

}  // namespace

void TForm1::ShowError() {
    showMessage(fromCharset(ErrorText, Languages.Charset));
}

void TForm1::showMessage(const QString& text) {
    QWidget* box = control("ErrorPanel");
    const QPoint display(ImageLeft + ScreenOffsetX, ImageTop + ScreenOffsetY);
    if (QLabel* message = label("Label29")) {
        setWholeText(message, breakable(text), roundEven(11 * Scale));
    }
    attach(box, CurrentPanel, this, display, QPoint(0, roundEven(155 * Scale)));
    ErrorWaiting = true;
    ErrorTimer.setEnabled(true);
    TimerService::instance().waitUntil([this] { return !ErrorWaiting; });
    if (box != nullptr) {
        box->hide();
    }
}

void TForm1::ShowHourglass() {
    // The panel's size is already scaled; only the hourglass's own is scaled here.
    const int width = CurrentPanel != nullptr ? CurrentPanel->width() : PanelWidth;
    const int height = CurrentPanel != nullptr ? CurrentPanel->height() : PanelHeight;
    const QPoint display(ImageLeft + ScreenOffsetX, ImageTop + ScreenOffsetY);
    attach(control("Hourglass"), CurrentPanel, this, display,
           QPoint((width - roundEven(30 * Scale)) / 2, (height - roundEven(40 * Scale)) / 2));
}

void TForm1::HideHourglass() {
    if (QWidget* hourglass = control("Hourglass")) {
        hourglass->hide();
    }
}

void TForm1::ShowCopyPanel(const QString& name) {
    if (auto* bar = qobject_cast<QProgressBar*>(control("ProgressBar1"))) {
        bar->setValue(0);
    }
    if (QLabel* percent = label("Label19")) {
        percent->setText(QStringLiteral("0%"));
    }
    if (QLabel* file = label("Label18")) {
        file->setText(name);
    }
    const int height = CurrentPanel != nullptr ? CurrentPanel->height() : PanelHeight;
    const QPoint display(ImageLeft + ScreenOffsetX, ImageTop + ScreenOffsetY);
    attach(control("CopyPanel"), CurrentPanel, this, display,
           QPoint(0, (height - roundEven(80 * Scale)) / 2));
}

void TForm1::HideCopyPanel() {
    if (auto* bar = qobject_cast<QProgressBar*>(control("ProgressBar1"))) {
        bar->setValue(0);
    }
    if (QLabel* percent = label("Label19")) {
        percent->setText(QStringLiteral("0%"));
    }
    if (QLabel* file = label("Label18")) {
        file->clear();
    }
    if (QWidget* copy = control("CopyPanel")) {
        copy->hide();
    }
}

TProgressBar* TForm1::progressBar() const {
    return m_progress.get();
}

TLabel* TForm1::percentLabel() const {
    return m_percent.get();
}

void TForm1::cancelOperation() {
    m_application->requestCancel();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // The pointer over anything but a picture button or a frame hides the
    // frames: the device, a screen, its background, labels and lists.
    if (event->type() == QEvent::MouseMove && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this &&
        std::find(m_hoverTargets.begin(), m_hoverTargets.end(), watched) == m_hoverTargets.end()) {
        QuillboxImageMouseMove();
    }
    // Seen before delivery, so Escape works while the window is disabled for
    // the operation it stops.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        const QWidget* copy = control("CopyPanel");
        const QWidget* hourglass = control("Hourglass");
        if ((copy != nullptr && copy->isVisible()) ||
            (hourglass != nullptr && hourglass->isVisible())) {
            cancelOperation();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::runOperation(const std::function<void()>& work) {
    if (m_operations == 0) {
        m_application->clearCancel();
    }
    ++m_operations;
    setEnabled(false);
    work();
    if (--m_operations == 0) {
        setEnabled(true);
        if (m_afterOperation) {
            const std::function<void()> then = std::move(m_afterOperation);
            m_afterOperation = nullptr;
            then();
        } else if (m_closeAfterOperation) {
            m_closeAfterOperation = false;
            close();
        }
    }
}

}  // namespace quillbox::app
