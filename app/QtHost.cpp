#include "app/QtHost.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "app/TimerService.h"
#include "platform/CodePage.h"

namespace quillbox::app {

void QtApplication::ProcessMessages() {
    TimerService::instance().pump();
    m_browser.pump();
}

std::string QtApplication::ExeName() const {
    return QCoreApplication::applicationFilePath().toStdString();
}

void QtProgressBar::SetPosition(int position) {
    m_bar->setValue(std::clamp(position, m_bar->minimum(), m_bar->maximum()));
}

void QtLabel::SetCaption(const char* caption) {
    m_label->setText(fromAnsi(caption));
}

QString fromAnsi(const char* text) {
    if (text == nullptr) {
        return QString();
    }
    return fromCharset(text, 1);
}

QString fromCharset(const std::string& bytes, int charset) {
    const Result<std::string> utf8 = platform::toUtf8(bytes, platform::codePageForCharset(charset));
    if (utf8.ok()) {
        return QString::fromStdString(utf8.value());
    }
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace quillbox::app
