// The help screen's two pages: the texts of page 1, or page 2 with the
// program's version and the store's address.

#include <QFontMetrics>
#include <QLabel>

#include "app/Controls.h"
#include "app/Form.h"
#include "controls/CoolText.h"
#include "controls/JustifiedLayout.h"
#include "platform/StoreAddress.h"

namespace quillbox::app {
namespace {

constexpr int kHelpTextWidth = 338;

void setShown(QWidget* widget, bool visible) {
    if (widget != nullptr) {
        widget->setVisible(visible);
    }
}

}  // namespace

void TForm1::fitHelpText(QLabel* text, int width) {
    // As wide as the page allows and as high as its text needs. A justified
    // text is set back to plain first and justified again once its width is
    // set, so that it is laid out afresh.
    auto* justified = qobject_cast<controls::TCoolText*>(text);
    if (justified == nullptr) {
        text->resize(width, text->heightForWidth(width));
        return;
    }
    justified->setCoolAlignment(controls::TCoolText::taLeftJustify);
    const QFontMetrics metrics(justified->font());
    const std::vector<controls::JustifiedPiece> pieces = controls::layoutJustified(
        justified->text(), controls::widthIn(metrics), 0, width, justified->paragraphWidth());
    const int lines = pieces.empty() ? 1 : pieces.back().line + 1;
    justified->resize(width, lines * metrics.height());
    justified->setCoolAlignment(controls::TCoolText::taCool);
}

void TForm1::prepareHelpPage1() {
    const int width = roundEven(kHelpTextWidth * Scale);
    QLabel* first = label("APHelpL1");
    QLabel* second = label("APHelpL2");
    for (QLabel* text : {first, second}) {
        if (text != nullptr) {
            fitHelpText(text, width);
            text->show();
        }
    }
    if (first != nullptr && second != nullptr) {
        second->move(second->x(), first->geometry().bottom() + 1);
    }
    for (std::string_view name : {"APHelpL3", "APHelpL4", "QuillboxL", "TomeportSiteL"}) {
        setShown(control(name), false);
    }
    setShown(control("APLeftImg"), false);
    setShown(control("APRightImg"), true);
}

void TForm1::APRightImgClick() {
    const int width = roundEven(kHelpTextWidth * Scale);
    setShown(control("APHelpL1"), false);
    setShown(control("APHelpL2"), false);
    QLabel* third = label("APHelpL3");
    QLabel* fourth = label("APHelpL4");
    for (QLabel* text : {third, fourth}) {
        if (text != nullptr) {
            fitHelpText(text, width);
            text->show();
        }
    }
    if (third != nullptr && fourth != nullptr) {
        fourth->move(fourth->x(), third->geometry().bottom() + 1);
    }
    if (QLabel* site = label("TomeportSiteL")) {
        site->setText(QString::fromStdString(platform::storeRoot()));
    }
    setShown(control("QuillboxL"), true);
    setShown(control("TomeportSiteL"), true);
    setShown(control("APRightImg"), false);
    setShown(control("APLeftImg"), true);
}

void TForm1::APLeftImgClick() {
    prepareHelpPage1();
}

}  // namespace quillbox::app
