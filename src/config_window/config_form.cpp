#include "config_window/config_form.h"

#include <array>

#include "settings/settings.h"
#include "text/ascii_text.h"

namespace tessarin::config_window {

namespace keys = settings::keys;
using settings::GetAppSetting;
using settings::SaveAppSetting;
namespace {

// Each box and the key it edits, in their saving order.
struct BoxAndKey {
  TextBox box;
  const char* key;
};
constexpr std::array<BoxAndKey, kTextBoxCount> kBoxes = {{
    {TextBox::OutputFile, keys::kOutputFile},
    {TextBox::Canvas, keys::kCanvas},
    {TextBox::InsetFolder, keys::kInsertDir},
    {TextBox::X, keys::kX},
    {TextBox::Y, keys::kY},
    {TextBox::Height, keys::kH},
    {TextBox::Width, keys::kW},
}};

}  // namespace

void ConfigForm::Load() {
  for (const auto& [box, key] : kBoxes) view_.SetText(box, GetAppSetting(settings_, key));
}

void ConfigForm::OkPressed() {
  const char separator = pathRules_.PathSeparator();
  for (const auto& [box, key] : kBoxes) {
    std::string value = text::TrimSpaces(view_.Text(box));
    if (value.empty()) continue;
    // The inset folder is kept with its trailing separator, in the box too.
    if (box == TextBox::InsetFolder && value.back() != separator) {
      value += separator;
      view_.SetText(box, value);
    }
    SaveAppSetting(settings_, key, value);
  }
  view_.Close();
}

ExitCode ConfigForm::Unload() { return ExitCode::Done; }

}  // namespace tessarin::config_window
