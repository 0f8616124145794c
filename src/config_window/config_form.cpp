#include "config_window/config_form.h"

#include <array>

#include "text/text_fields.h"
#include "settings/settings.h"

namespace tessarin {
namespace {

constexpr std::array<TextBox, kTextBoxCount> kBoxesInOrder = {
    TextBox::Text1, TextBox::Text2, TextBox::Text3, TextBox::Text4,
    TextBox::Text5, TextBox::Text6, TextBox::Text7};

}  // namespace

const char* KeyOf(TextBox box) {
  switch (box) {
    case TextBox::Text1: return keys::kOutputFile;
    case TextBox::Text2: return keys::kCanvas;
    case TextBox::Text3: return keys::kInsertDir;
    case TextBox::Text4: return keys::kX;
    case TextBox::Text5: return keys::kY;
    case TextBox::Text6: return keys::kH;
    case TextBox::Text7: return keys::kW;
  }
  return "";
}

void ConfigForm::Load() {
  for (TextBox box : kBoxesInOrder) view_.SetText(box, GetAppSetting(settings_, KeyOf(box)));
}

void ConfigForm::OkPressed() {
  const char separator = conventions_.PathSeparator();
  for (TextBox box : kBoxesInOrder) {
    std::string value = TrimSpaces(view_.Text(box));
    if (value.empty()) continue;
    // The inset folder is kept with its trailing separator, in the box too.
    if (box == TextBox::Text3 && value.back() != separator) {
      value += separator;
      view_.SetText(box, value);
    }
    SaveAppSetting(settings_, KeyOf(box), value);
  }
  view_.Close();
}

ExitCode ConfigForm::Unload() { return ExitCode::Done; }

}  // namespace tessarin
