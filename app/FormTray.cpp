// The notification area: the tray icon and its menu, hiding the window there
// and showing it again, the window's minimise command, and leaving by the
// tray. While the window is busy the tray's show and hide wait, and its close
// stops the operation and closes once that has returned.

#include <QAction>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include "app/Form.h"
#include "app/QtHost.h"
#include "app/Skin.h"
#include "contracts/Book.h"
#include "contracts/RSS.h"

namespace quillbox::app {
namespace {

constexpr int kTipLength = 63;

}  // namespace

void TForm1::createTray() {
    PopupMenu1 = new QMenu(this);
    N1 = PopupMenu1->addAction(QString::fromUtf8("Показать"));
    N3 = PopupMenu1->addAction(QString::fromUtf8("Свернуть"));
    N2 = PopupMenu1->addAction(QString::fromUtf8("Закрыть"));
    N1->setObjectName(QStringLiteral("N1"));
    N2->setObjectName(QStringLiteral("N2"));
    N3->setObjectName(QStringLiteral("N3"));
    connect(N1, &QAction::triggered, this, [this] { N1Click(); });
    connect(N3, &QAction::triggered, this, [this] { N3Click(); });
    connect(N2, &QAction::triggered, this, [this] { N2Click(); });
    m_tray = new QSystemTrayIcon(this);
    m_tray->setIcon(QIcon(skinPicture("app-icon", 1.0)));
    m_tray->setToolTip(QStringLiteral("Quillbox").left(kTipLength));
    m_tray->setContextMenu(nullptr);  // popped up by hand, at the pointer
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { trayActivated(reason); });
}

bool TForm1::busy() const {
    return m_operations > 0 || ColorTimer.enabled() || ErrorWaiting;
}

void TForm1::AddTrayIcon() {
    // Registering again changes nothing.
    if (m_tray != nullptr && trayAvailable()) {
        m_tray->show();
    }
}

bool TForm1::trayAvailable() const {
    return m_options.trayAvailable.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void TForm1::trayActivated(int reason) {
    switch (static_cast<QSystemTrayIcon::ActivationReason>(reason)) {
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::Context:
            raise();
            PopupMenu1->popup(QCursor::pos());
            break;
        case QSystemTrayIcon::DoubleClick:
            N1Click();
            break;
        default:
            break;
    }
}

void TForm1::HideClick() {
    if (busy()) {
        return;
    }
    if (!trayAvailable()) {
        // Without a notification area a hidden window could not be found
        // again: it is minimised instead, and the user is told once.
        if (!m_noTrayShown) {
            m_noTrayShown = true;
            showMessage(QStringLiteral(
                "The desktop has no notification area: Quillbox is minimised instead."));
        }
        showMinimized();
        return;
    }
    if (m_options.arguments.value(0) == QStringLiteral("auto")) {
        hide();
    } else if (CurrentPanel != nullptr) {
        CurrentPanel->hide();
    }
    hide();
    AddTrayIcon();
    N1->setEnabled(true);
    N3->setEnabled(false);
}

void TForm1::N3Click() {
    if (busy()) {
        return;
    }
    if (CurrentPanel != nullptr) {
        CurrentPanel->hide();
    }
    HideClick();
}

void TForm1::N1Click() {
    if (busy()) {
        return;
    }
    hide();
    if (!Restored) {
        Restored = true;
    }
    move(0, 0);
    N1->setEnabled(false);
    N3->setEnabled(true);
    StartMenuTimer.setEnabled(true);
}

void TForm1::bringToFront() {
    if (!isVisible()) {
        N1Click();
        return;
    }
    if (isMinimized()) {
        showMaximized();
    }
    raise();
    activateWindow();
}

void TForm1::N2Click() {
    if (m_operations > 0) {
        // Stop what runs; leave once it has returned, never over its lists.
        cancelOperation();
        m_afterOperation = [this] { N2Click(); };
        return;
    }
    if (busy()) {
        QTimer::singleShot(50, this, [this] { N2Click(); });
        return;
    }
    saveOnExit();
    DeleteRSSList(RSSList.get());
    DeleteBookLibrary(Library.get());
    close();
}

void TForm1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        trayAvailable()) {
        // The window's minimise command hides it in the notification area.
        QTimer::singleShot(0, this, [this] { HideClick(); });
    }
}

}  // namespace quillbox::app
