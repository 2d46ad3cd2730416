// Dragging the device picture across the desktop: the screen hides while the
// picture moves and comes back on it where it was let go. No drag starts or
// moves during a fade; a release always ends one.

#include "app/Controls.h"
#include "app/Form.h"

namespace quillbox::app {

void TForm1::QuillboxImageMouseDown(QPoint at) {
    if (ColorTimer.enabled()) {
        return;
    }
    DragActive = true;
    if (CurrentPanel != nullptr) {
        CurrentPanel->hide();
    }
    DragX = at.x();
    DragY = at.y();
}

void TForm1::QuillboxImageMouseMoveWhileDown(QPoint at) {
    QWidget* device = control("QuillboxImage");
    if (!DragActive || ColorTimer.enabled() || device == nullptr) {
        return;
    }
    device->move(device->pos() + QPoint(at.x() - DragX, at.y() - DragY));
    setMask(m_deviceRegion.translated(device->pos()));
}

void TForm1::QuillboxImageMouseUp() {
    QWidget* device = control("QuillboxImage");
    if (!DragActive || device == nullptr) {
        return;
    }
    ImageLeft = device->x();
    ImageTop = device->y();
    DragActive = false;
    placeScreens();
    setMask(m_deviceRegion.translated(device->pos()));
    // During a fade the screen change shows its own screen at its end.
    if (CurrentPanel != nullptr && !ColorTimer.enabled()) {
        CurrentPanel->show();
    }
}

}  // namespace quillbox::app
