#pragma once
// The window's controls as designed at 96 pixels per inch: one row per
// control, named as the program refers to it, in creation (z) order; a
// control's parent comes before it. The window creates them from this table
// and scales every position, size and font height by Scale.

#include <string_view>
#include <vector>

namespace quillbox::app {

enum class ControlKind {
    Panel,           // a screen or overlay panel (white unless colour says otherwise)
    Image,           // a picture control; buttons are images too
    Label,           // text
    JustifiedLabel,  // text set in justified paragraphs (help texts)
    CheckBox,
    Edit,          // one-line text field
    PasswordEdit,  // one-line text field showing bullets
    ListBox,       // owner-drawn list of rows
    ProgressBar,   // 0..100
};

enum class TextAlign { Left, Centre, Right };

struct FontStyle {
    std::string_view family;  // empty: the window's font (11 px)
    int pixelSize = 0;        // 0: the window's
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

struct ControlRow {
    std::string_view name;    // as the program refers to it
    std::string_view parent;  // a panel's name, or empty for the window itself
    ControlKind kind = ControlKind::Label;
    int left = 0;
    int top = 0;
    int width = 0;  // 0 with an image: the picture's own size
    int height = 0;
    std::string_view text;  // design caption (labels, check boxes), UTF-8
    FontStyle font;
    TextAlign align = TextAlign::Left;
    bool visible = true;
    bool enabled = true;
    bool wordWrap = false;
    bool stretch = false;        // images: the picture fills the control
    std::string_view picture;    // images: skin picture stored with the form ("" none)
    std::string_view hint;       // tool tip
    unsigned colour = 0xFFFFFF;  // panels: background, 0xRRGGBB
};

// Every control of the window, in creation order.
const std::vector<ControlRow>& formDesign();

}  // namespace quillbox::app
