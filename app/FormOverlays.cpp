// The overlays over the current screen: the two-second message, the
// hourglass and the copy box, and the user's way to stop what they wait for.

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

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

}  // namespace

void TForm1::ShowError() {
    QWidget* box = control("ErrorPanel");
    const QPoint display(ImageLeft + ScreenOffsetX, ImageTop + ScreenOffsetY);
    if (QLabel* message = label("Label29")) {
        message->setText(fromCharset(ErrorText, Languages.Charset));
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

void TForm1::cancelOperation() {
    m_application->requestCancel();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    const QWidget* copy = control("CopyPanel");
    const QWidget* hourglass = control("Hourglass");
    const bool busy =
        (copy != nullptr && copy->isVisible()) || (hourglass != nullptr && hourglass->isVisible());
    if (event->key() == Qt::Key_Escape && busy) {
        cancelOperation();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace quillbox::app
