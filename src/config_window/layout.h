#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "config_window/config_view.h"

namespace tessarin::config_window::layout {

// The window is laid out in twips; a pixel is 15 of them.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int ToPixels(int twips) { return twips / kTwipsPerPixel; }

inline constexpr int kClientWidth = 5400;
inline constexpr int kClientHeight = 3660;
// The decorative background picture, in pixels, drawn from the top-left corner.
inline constexpr int kBackgroundWidthPixels = 359;
inline constexpr int kBackgroundHeightPixels = 244;
inline constexpr int kIconPixels = 32;

enum class Kind { Label, TextBox, Button };
enum class Alignment { Left, Right, Center };

// One visible control: position and size in twips relative to the client
// area, and its place in the tab order (lowest first; labels take no focus).
struct Control {
  std::string_view name;
  Kind kind;
  std::string_view caption;  // empty for a text box
  int left;
  int top;
  int width;
  int height;
  int tabIndex;
  Alignment alignment;
  std::optional<TextBox> box;  // which box, for a text box
};

// The eight labels form the array Label1; "&OK" marks O as the button's access
// key. The short labels are right-aligned so that their text ends just left of
// their own box; the box to their left covers the rest of their rectangle.
inline constexpr std::array<Control, 16> kControls = {{
    {"Label1_0",
     Kind::Label,
     "Output/Wallpaper Filename:",
     480,
     360,
     2655,
     255,
     3,
     Alignment::Left,
     {}},
    {"Text1", Kind::TextBox, "", 480, 600, 2295, 375, 2, Alignment::Left, TextBox::OutputFile},
    {"Label1_1", Kind::Label, "Canvas Filename:", 480, 1200, 2655, 255, 4, Alignment::Left, {}},
    {"Text2", Kind::TextBox, "", 480, 1440, 2295, 375, 5, Alignment::Left, TextBox::Canvas},
    {"Label1_2", Kind::Label, "Dir with Insets:", 480, 2040, 2655, 255, 6, Alignment::Left, {}},
    {"Text3", Kind::TextBox, "", 480, 2280, 2295, 375, 7, Alignment::Left, TextBox::InsetFolder},
    {"Label1_3", Kind::Label, "Replacement Area:", 480, 2760, 1695, 255, 9, Alignment::Left, {}},
    {"Label1_4", Kind::Label, "X", 240, 3120, 375, 255, 10, Alignment::Right, {}},
    {"Text4", Kind::TextBox, "", 720, 3000, 375, 375, 14, Alignment::Left, TextBox::X},
    {"Label1_5", Kind::Label, "Y", 960, 3120, 375, 255, 11, Alignment::Right, {}},
    {"Text5", Kind::TextBox, "", 1440, 3000, 375, 375, 15, Alignment::Left, TextBox::Y},
    {"Label1_6", Kind::Label, "Height", 2040, 3120, 735, 255, 12, Alignment::Right, {}},
    {"Text6", Kind::TextBox, "", 2880, 3000, 495, 375, 16, Alignment::Left, TextBox::Height},
    {"Label1_7", Kind::Label, "Width", 3120, 3120, 735, 255, 13, Alignment::Right, {}},
    {"Text7", Kind::TextBox, "", 3960, 3000, 495, 375, 17, Alignment::Left, TextBox::Width},
    {"Command1", Kind::Button, "&OK", 3960, 240, 1215, 495, 8, Alignment::Center, {}},
}};

// The label that names each box, by the label's control name, in TextBox
// order: its caption is the box's name for a screen reader.
inline constexpr std::array<std::string_view, kTextBoxCount> kBoxLabels = {
    "Label1_0", "Label1_1", "Label1_2", "Label1_4", "Label1_5", "Label1_6", "Label1_7"};

inline constexpr const Control& ControlNamed(std::string_view name) {
  for (const Control& control : kControls)
    if (control.name == name) return control;
  throw "no control of that name";  // a compile error where a constant is needed
}

inline constexpr std::string_view BoxName(TextBox box) {
  return ControlNamed(kBoxLabels[static_cast<std::size_t>(box)]).caption;
}

inline constexpr int kFocusableCount = 8;

// The controls that take the keyboard focus (boxes and button), in the order
// Tab visits them: by rising tab index.
inline constexpr std::array<const Control*, kFocusableCount> FocusOrder() {
  std::array<const Control*, kFocusableCount> order{};
  int count = 0;
  for (const Control& control : kControls) {
    if (control.kind == Kind::Label) continue;
    int at = count++;
    while (at > 0 && order[at - 1]->tabIndex > control.tabIndex) {
      order[at] = order[at - 1];
      --at;
    }
    order[at] = &control;
  }
  return order;
}

}  // namespace tessarin::config_window::layout
