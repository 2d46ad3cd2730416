// The settings screen: automatic updates and their periods, pictures, start
// with the system, the interface language, the store account and the proxy.
// Save checks every text and stores both records; it stays on the screen with
// the user's input whenever something cannot be stored. Cancel drops every
// change, the periods and the language included.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <cstring>
#include <string>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/ProgramLog.h"
#include "app/QtHost.h"
#include "common/FixedText.h"
#include "contracts/Hostkit.h"
#include "platform/CodePage.h"

namespace quillbox::app {
namespace {

// The six edits, in the order Save reads them.
constexpr std::string_view kEdits[] = {"SPLoginE",     "SPPasswordE",   "SPProxyHostE",
                                       "SPProxyPortE", "SPProxyLoginE", "SPProxyPasswordE"};
// What each edit is called in a message.
constexpr const char* kEditNames[] = {"login",      "password",    "proxy server",
                                      "proxy port", "proxy login", "proxy password"};

QLineEdit* edit(const TForm1& window, std::string_view name) {
    return qobject_cast<QLineEdit*>(window.control(name));
}

QCheckBox* checkBox(const TForm1& window, std::string_view name) {
    return qobject_cast<QCheckBox*>(window.control(name));
}

bool checked(const TForm1& window, std::string_view name) {
    const QCheckBox* box = checkBox(window, name);
    return box != nullptr && box->isChecked();
}

// One more or one less, wrapping round within 1..last.
int stepped(int value, int step, int last) {
    const int next = value + step;
    return next < 1 ? last : next > last ? 1 : next;
}

// A port as the user typed it: a decimal number in 0..65535, else 0.
int portOf(const QString& text) {
    bool number = false;
    const int port = text.trimmed().toInt(&number, 10);
    return number && port >= 0 && port <= 65535 ? port : 0;
}

}  // namespace

void TForm1::connectSettingsScreen() {
    const std::pair<std::string_view, void (TForm1::*)()> kClicks[] = {
        {"SPUpdateRSSLeftImg", &TForm1::SPUpdateRSSLeftImgClick},
        {"SPUpdateRSSRightImg", &TForm1::SPUpdateRSSRightImgClick},
        {"SPUpdateBSLeftImg", &TForm1::SPUpdateBSLeftImgClick},
        {"SPUpdateBSRightImg", &TForm1::SPUpdateBSRightImgClick},
        {"SPLangLeftImg", &TForm1::SPLangLeftImgClick},
        {"SPLangRightImg", &TForm1::SPLangRightImgClick},
    };
    for (const auto& [name, handler] : kClicks) {
        if (ImageControl* arrow = image(name)) {
            arrow->onClick = [this, handler = handler] { (this->*handler)(); };
        }
    }
    const std::pair<std::string_view, void (TForm1::*)()> kBoxes[] = {
        {"SPUpdateRSSCB", &TForm1::SPUpdateRSSCBClick},
        {"SPUpdateBSCB", &TForm1::SPUpdateBSCBClick},
        {"SPUseProxyCB", &TForm1::SPUseProxyCBClick},
    };
    for (const auto& [name, handler] : kBoxes) {
        if (QCheckBox* box = checkBox(*this, name)) {
            connect(box, &QCheckBox::clicked, this,
                    [this, handler = handler] { (this->*handler)(); });
        }
    }
    // The keyboard goes through the screen in reading order of its settings.
    constexpr std::string_view kTabOrder[] = {"SPUpdateRSSCB",    "SPUpdateBSCB", "SPStartupCB",
                                              "SPLoginE",         "SPPasswordE",  "SPUseProxyCB",
                                              "SPProxyHostE",     "SPProxyPortE", "SPProxyLoginE",
                                              "SPProxyPasswordE", "SPPictureCB"};
    for (std::size_t i = 0; i + 1 < std::size(kTabOrder); ++i) {
        QWidget* from = control(kTabOrder[i]);
        QWidget* to = control(kTabOrder[i + 1]);
        if (from != nullptr && to != nullptr) {
            setTabOrder(from, to);
        }
    }
}

void TForm1::openSettings(int fromMenu) {
    SettingsFromMenu = fromMenu;
    LoadSystemInfo(&SystemInfo);
    SettingsRSSPeriod = SystemInfo.RSSUpdatePeriod;
    SettingsBSPeriod = SystemInfo.BookShelfUpdatePeriod;
    showPeriodLabels();
    if (QCheckBox* box = checkBox(*this, "SPUpdateRSSCB")) {
        box->setChecked(SystemInfo.AutoUpdateRSS);
    }
    if (QCheckBox* box = checkBox(*this, "SPUpdateBSCB")) {
        box->setChecked(SystemInfo.AutoUpdateBookShelfs);
    }
    SPUpdateRSSCBClick();
    SPUpdateBSCBClick();
    if (QCheckBox* box = checkBox(*this, "SPPictureCB")) {
        box->setChecked(SystemInfo.Pictures);
    }
    if (QCheckBox* box = checkBox(*this, "SPStartupCB")) {
        box->setChecked(SystemInfo.AutoRun);
    }

    // A record the store cannot fill would keep this pattern: the stored
    // account exists but could not be read.
    std::memset(&UserData, 0xA5, sizeof UserData);
    LoadUserData(&UserData);
    TUserData unread;
    std::memset(&unread, 0xA5, sizeof unread);
    m_userDataLoaded = std::memcmp(&UserData, &unread, sizeof UserData) != 0;
    if (!m_userDataLoaded) {
        std::memset(&UserData, 0, sizeof UserData);
    }
    // The stored account is text of the system code page, as Hostkit keeps it.
    const auto text = [](const TShortString& value) {
        return fromAnsi(std::string(value.text()).c_str());
    };
    const QString texts[] = {text(UserData.Login),      text(UserData.Password),
                             text(UserData.ProxyHost),  QString::number(UserData.ProxyPort),
                             text(UserData.ProxyLogin), text(UserData.ProxyPassword)};
    m_accountShown.clear();
    for (std::size_t i = 0; i < std::size(kEdits); ++i) {
        const QString shown = m_userDataLoaded ? texts[i] : QString();
        if (QLineEdit* field = edit(*this, kEdits[i])) {
            field->setText(shown);
        }
        m_accountShown << shown;
    }
    if (QCheckBox* box = checkBox(*this, "SPUseProxyCB")) {
        box->setChecked(UserData.UseProxy);
    }
    SPUseProxyCBClick();
    SetScreenPanel(control("SettingPanel"));
}

void TForm1::showPeriodLabels() {
    if (SettingsRSSPeriod >= 1 && SettingsRSSPeriod <= 6) {
        setLabelText("SPUpdateRSSL", languageString(23 + SettingsRSSPeriod));
    }
    if (SettingsBSPeriod >= 1 && SettingsBSPeriod <= 3) {
        setLabelText("SPUpdateBSL", languageString(26 + SettingsBSPeriod));
    }
}

void TForm1::setLabelText(std::string_view name, const QString& text) {
    if (QLabel* line = label(name)) {
        line->setText(text);
    }
}

void TForm1::SPUpdateRSSCBClick() {
    const bool on = checked(*this, "SPUpdateRSSCB");
    for (std::string_view name : {"SPUpdateRSSLeftImg", "SPUpdateRSSRightImg"}) {
        if (QWidget* arrow = control(name)) {
            arrow->setVisible(on);
        }
    }
    if (QWidget* period = control("SPUpdateRSSL")) {
        period->setEnabled(on);
    }
}

void TForm1::SPUpdateBSCBClick() {
    const bool on = checked(*this, "SPUpdateBSCB");
    for (std::string_view name : {"SPUpdateBSLeftImg", "SPUpdateBSRightImg"}) {
        if (QWidget* arrow = control(name)) {
            arrow->setVisible(on);
        }
    }
    if (QWidget* period = control("SPUpdateBSL")) {
        period->setEnabled(on);
    }
}

void TForm1::SPUpdateRSSLeftImgClick() {
    SettingsRSSPeriod = stepped(SettingsRSSPeriod, -1, 6);
    showPeriodLabels();
}

void TForm1::SPUpdateRSSRightImgClick() {
    SettingsRSSPeriod = stepped(SettingsRSSPeriod, 1, 6);
    showPeriodLabels();
}

void TForm1::SPUpdateBSLeftImgClick() {
    SettingsBSPeriod = stepped(SettingsBSPeriod, -1, 3);
    showPeriodLabels();
}

void TForm1::SPUpdateBSRightImgClick() {
    SettingsBSPeriod = stepped(SettingsBSPeriod, 1, 3);
    showPeriodLabels();
}

void TForm1::SPUseProxyCBClick() {
    const bool on = checked(*this, "SPUseProxyCB");
    for (std::size_t i = 2; i < std::size(kEdits); ++i) {
        if (QWidget* field = control(kEdits[i])) {
            field->setEnabled(on);
        }
    }
}

void TForm1::SPLangLeftImgClick() {
    const auto used = [this](int slot) {
        return !Languages.LanguageNames[static_cast<std::size_t>(slot)].empty();
    };
    int found = 0;
    for (int slot = ChosenLanguage - 1; slot >= 1 && found == 0; --slot) {
        found = used(slot) ? slot : 0;
    }
    for (int slot = kLanguageSlots; slot >= std::max(ChosenLanguage, 1) && found == 0; --slot) {
        found = used(slot) ? slot : 0;
    }
    switchLanguage(found);
}

void TForm1::SPLangRightImgClick() {
    const auto used = [this](int slot) {
        return !Languages.LanguageNames[static_cast<std::size_t>(slot)].empty();
    };
    int found = 0;
    for (int slot = std::max(ChosenLanguage + 1, 1); slot <= kLanguageSlots && found == 0; ++slot) {
        found = used(slot) ? slot : 0;
    }
    for (int slot = 1; slot <= std::min(ChosenLanguage, kLanguageSlots) && found == 0; ++slot) {
        found = used(slot) ? slot : 0;
    }
    switchLanguage(found);
}

void TForm1::switchLanguage(int slot) {
    // Only a used slot in 1..25 names a file; the one loaded is no change.
    if (slot < 1 || slot > kLanguageSlots || slot == ChosenLanguage ||
        Languages.LanguageNames[static_cast<std::size_t>(slot)].empty()) {
        return;
    }
    ChosenLanguage = slot;
    LoadLanguageResource(languageDirectory() +
                         Languages.LanguageFiles[static_cast<std::size_t>(slot)]);
    showPeriodLabels();
}

void TForm1::SPSelectImgClick() {
    const QWidget* frame = control("SPSelectImg");
    const QWidget* save = control("SPSaveImg");
    if (frame != nullptr && save != nullptr && frame->x() == save->x()) {
        saveSettings();
    } else {
        cancelSettings();
    }
}

void TForm1::saveSettings() {
    // Every text must be storable as it is, or nothing is saved.
    TUserData account{};
    TShortString* const fields[] = {&account.Login, &account.Password,   &account.ProxyHost,
                                    nullptr,        &account.ProxyLogin, &account.ProxyPassword};
    const std::string codePage = platform::systemAnsiCodePage();
    bool edited = false;
    for (std::size_t i = 0; i < std::size(kEdits); ++i) {
        const QString typed =
            edit(*this, kEdits[i]) != nullptr ? edit(*this, kEdits[i])->text() : QString();
        edited = edited || typed != m_accountShown.value(static_cast<qsizetype>(i));
        if (fields[i] == nullptr) {
            account.ProxyPort = portOf(typed);
            continue;
        }
        const Result<std::string> bytes = platform::fromUtf8(typed.toStdString(), codePage);
        QString problem;
        if (!bytes.ok()) {
            problem = QStringLiteral("The %1 has characters that cannot be stored.");
        } else if (!fields[i]->assign(bytes.value())) {
            problem = QStringLiteral("The %1 is longer than 255 characters.");
        }
        if (!problem.isEmpty()) {
            showMessage(problem.arg(QLatin1String(kEditNames[i])) +
                        QStringLiteral(" Nothing was saved."));
            return;
        }
    }
    account.UseProxy = checked(*this, "SPUseProxyCB");
    edited = edited || account.UseProxy != UserData.UseProxy;

    TSystemInfo info = SystemInfo;
    info.AutoUpdateRSS = checked(*this, "SPUpdateRSSCB");
    info.AutoUpdateBookShelfs = checked(*this, "SPUpdateBSCB");
    info.Pictures = checked(*this, "SPPictureCB");
    info.AutoRun = checked(*this, "SPStartupCB");
    info.Language = ChosenLanguage;
    info.RSSUpdatePeriod = SettingsRSSPeriod;
    info.BookShelfUpdatePeriod = SettingsBSPeriod;
    if (!SaveSystemInfo(info)) {
        showMessage(QStringLiteral("The settings could not be saved. Nothing was changed."));
        return;
    }
    SystemInfo = info;
    logInfo(std::string("settings saved: automatic news ") + (info.AutoUpdateRSS ? "on" : "off") +
            ", automatic bookshelves " + (info.AutoUpdateBookShelfs ? "on" : "off") +
            ", start with the system " + (info.AutoRun ? "on" : "off") + ", language slot " +
            std::to_string(info.Language));
    if (info.AutoRun) {
        AutoRunOn();
    } else {
        AutoRunOff();
    }
    ViewUpdateData();
    // An account that could not be read stays as it is unless the user typed
    // a new one.
    if (m_userDataLoaded || edited) {
        account.Pictures = info.Pictures;
        if (!SaveUserData(account)) {
            showMessage(
                QStringLiteral("The account could not be saved. "
                               "The other settings were saved."));
            return;
        }
        UserData = account;
        // Which parts are set, never what they hold.
        logInfo(std::string("account saved: login ") +
                (account.Login.Length != 0 ? "set" : "empty") + ", proxy " +
                (account.UseProxy ? "on" : "off"));
    }
    for (std::string_view name : kEdits) {
        if (QLineEdit* field = edit(*this, name)) {
            field->clear();
        }
    }
    if (UserData.Login.Length != 0) {
        const std::uint8_t result = LibraryResult;
        ShowHourglass();
        runOperation([this] { updateLibraryFromStore(); });
        HideHourglass();
        LibraryResult = result;
    }
    if (SettingsFromMenu == 1) {
        SetScreenPanel(control("MenuPanel"));
    } else {
        redrawShelfList();
        SetScreenPanel(control("BookShelfPanel"));
    }
}

void TForm1::cancelSettings() {
    // The saved language again; with none saved (-1) or a slot that names no
    // file, the language loaded stays.
    const int saved = SystemInfo.Language;
    if (saved >= 1 && saved <= kLanguageSlots &&
        !Languages.LanguageNames[static_cast<std::size_t>(saved)].empty()) {
        ChosenLanguage = saved;
        LoadLanguageResource(languageDirectory() +
                             Languages.LanguageFiles[static_cast<std::size_t>(saved)]);
    }
    ViewUpdateData();
    for (std::string_view name : kEdits) {
        if (QLineEdit* field = edit(*this, name)) {
            field->clear();
        }
    }
    SetScreenPanel(control("MenuPanel"));
}

}  // namespace quillbox::app
