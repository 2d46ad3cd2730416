#include "book/BookHost.h"

#include <string>

namespace quillbox::book {
namespace {

TApplication* g_application = nullptr;
TBookMessageBox g_showMessage = nullptr;

}  // namespace

void setBookHost(TApplication* application, TBookMessageBox showMessage) {
    g_application = application;
    g_showMessage = showMessage;
}

void processHostMessages() {
    if (g_application != nullptr) {
        g_application->ProcessMessages();
    }
}

bool hostCancelled() {
    return g_application != nullptr && g_application->Cancelled();
}

void showHostMessage(std::string_view ansiText) {
    if (g_showMessage != nullptr) {
        const std::string text(ansiText);
        g_showMessage(text.c_str());
    }
}

}  // namespace quillbox::book
