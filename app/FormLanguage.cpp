// The language of the window: the scan of the Language folder, and the load
// that gives the buttons their pictures and the controls their texts.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <utility>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/QtHost.h"

namespace quillbox::app {
namespace {

// Each picture of a language module and the buttons that show it, in load order.
constexpr std::pair<const char*, std::string_view> kPictures[] = {
    {"MenuRSSIcon", "MPRSSImg"},
    {"MenuBookShelfIcon", "MPBookShelfImg"},
    {"MenuMoneyIcon", "MPBalanceImg"},
    {"MenuUpdateIcon", "MPUpdateImg"},
    {"MenuSettingIcon", "MPSettingImg"},
    {"MenuAboutIcon", "MPAboutImg"},
    {"MenuLinkIcon", "MPTomeportImg"},
    {"MenuMinimizeIcon", "MPMinimizeImg"},
    {"MenuExitIcon", "MPExitImg"},
    {"AddRSSIcon", "RSSAddImg"},
    {"DeleteRSSIcon", "RSSDeleteImg"},
    {"MenuBookIcon", "RSSMenuImg"},
    {"MenuBookIcon", "BPMenuImg"},
    {"BookShelfIconMenu", "BSPMenuImg"},
    {"CancelIcon", "SPCancelImg"},
    {"SaveIcon", "SPSaveImg"},
    {"MenuIcon", "APMenuImg"},
    {"DownloadBook", "BPDownloadImg"},
    {"DeleteBookFromComputerIcon", "BPDeletePCImg"},
    {"SaveBookIcon", "BPSaveDeviceImg"},
    {"DeleteBookFromDeviceIcon", "BPDeleteDeviceImg"},
    {"UpdateBookShelfIcon", "BSPUpdateImg"},
    {"Convert", "RSSSaveImg"},
    {"UpdateRSSIcon", "RSSUpdateImg"},
    {"MenuIcon", "MnPMenuImg"},
};

// The texts set at load: language string id and the control that shows it.
constexpr std::pair<int, std::string_view> kTexts[] = {
    {5, "BSPHeaderL"},     {6, "Label21"},           {9, "MnPHeaderL"},     {10, "RSSHeaderL"},
    {11, "SPHeaderL"},     {12, "SPUpdateRSSCB"},    {13, "SPUpdateBSCB"},  {14, "SPStartupCB"},
    {15, "SPUseProxyCB"},  {16, "SPPictureCB"},      {17, "SPProxyHostL"},  {18, "SPProxyPortL"},
    {19, "SPProxyLoginL"}, {20, "SPProxyPasswordL"}, {21, "SPSetConnectL"}, {22, "SPLoginL"},
    {23, "SPPasswordL"},   {50, "APHeaderL"},        {51, "APHelpL1"},      {52, "APHelpL2"},
    {53, "APHelpL3"},      {54, "APHelpL4"},
};

void setText(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setText(text);
    }
}

}  // namespace

std::string TForm1::languageDirectory() const {
    std::string folder =
        m_options.languageFolder.empty() ? languageFolder() : m_options.languageFolder;
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

int TForm1::ReadLanguageDir() {
    return readLanguageDir(Languages, languageDirectory());
}

bool TForm1::LoadLanguageResource(const std::string& path) {
    if (!loadLanguageResource(Languages, path,
                              [this](const LanguageModule& module) { applyPictures(module); })) {
        return false;
    }
    applyTexts();
    return true;
}

QString TForm1::languageString(int id) const {
    if (id < 1 || id > kLanguageStringCount) {
        return QString();
    }
    return fromCharset(Languages.LanguageStrings[static_cast<std::size_t>(id)], Languages.Charset);
}

void TForm1::applyPictures(const LanguageModule& module) {
    for (const auto& [name, target] : kPictures) {
        ImageControl* button = image(target);
        if (button == nullptr) {
            continue;
        }
        const std::span<const unsigned char> bytes = module.picture(name);
        QPixmap picture;
        if (!bytes.empty() &&
            picture.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "PNG") &&
            Scale != 1.0) {
            picture = picture.scaled(roundEven(picture.width() * Scale),
                                     roundEven(picture.height() * Scale), Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
        }
        // A picture the module lacks leaves the button empty.
        button->setPicture(picture);
    }
}

void TForm1::applyTexts() {
    // The hints of the three mark templates, and of the book rows' marks.
    for (int id = 2; id <= 4; ++id) {
        if (QWidget* mark = control("Image" + std::to_string(46 + id))) {
            mark->setToolTip(languageString(id));
        }
        if (QWidget* books = control("BookPanel")) {
            const QString suffix = QStringLiteral("_%1").arg(id - 1);
            for (QWidget* row : books->findChildren<QWidget*>()) {
                if (row->objectName().startsWith(QStringLiteral("BookMark")) &&
                    row->objectName().endsWith(suffix)) {
                    row->setToolTip(languageString(id));
                }
            }
        }
    }
    for (const auto& [id, target] : kTexts) {
        setText(control(target), languageString(id));
    }
    for (const auto& [id, item] : {std::pair{47, N1}, std::pair{48, N3}, std::pair{49, N2}}) {
        if (item != nullptr) {
            item->setText(languageString(id));
        }
    }
    setText(control("MPUpdateRSSL"), languageString(7) + QStringLiteral("- "));
    setText(control("MPUpdateBSL"), languageString(8) + QStringLiteral("- "));
    if (ChosenLanguage >= 1 && ChosenLanguage <= kLanguageSlots) {
        setText(control("SPLangL"),
                fromCharset(Languages.LanguageNames[static_cast<std::size_t>(ChosenLanguage)],
                            Languages.Charset));
    }
}

}  // namespace quillbox::app
