#pragma once
// The skin's pictures, drawn for this program as SVG and compiled in as Qt
// resources (app/skin/), rendered at the window's scale.

#include <QPixmap>
#include <QSize>
#include <string_view>

namespace quillbox::app {

// The skin picture `name` (":/skin/<name>.svg") rendered at size; at its own
// design size times scale when size is empty. Null when there is no such
// picture.
QPixmap skinPicture(std::string_view name, double scale, QSize size = QSize());
// The design size of a skin picture, or an empty size.
QSize skinPictureSize(std::string_view name);

}  // namespace quillbox::app
