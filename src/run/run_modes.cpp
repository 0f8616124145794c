#include "run/run_modes.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "run/inset_list.h"
#include "run/report_message.h"
#include "settings/settings.h"
#include "text/ascii_text.h"
#include "text/comma_fields.h"
#include "text/join_path.h"
#include "wallpaper/make_wallpaper.h"

namespace tessarin::run {

namespace keys = settings::keys;
using settings::GetAppSetting;
using settings::SaveAppSetting;
namespace {

// Makes the wallpaper; a missing picture is reported here, by the run.
ExitCode MakeAndReport(const ports::Platform& platform,
                       const wallpaper::WallpaperRequest& request) {
  const wallpaper::WallpaperOutcome outcome = MakeWallpaper(platform, request);
  if (!outcome.missingPicture) return ExitCode::Done;
  ReportMessage(platform, MissingPictureMessage(*outcome.missingPicture));
  return ExitCode::PictureMissing;
}

bool ConfigurationIsComplete(ports::SettingsBackend& settings) {
  constexpr std::array kConfigurationKeys = {
      keys::kOutputFile, keys::kCanvas, keys::kInsertDir, keys::kX, keys::kY, keys::kH, keys::kW};
  return std::none_of(kConfigurationKeys.begin(), kConfigurationKeys.end(),
                      [&](const char* key) { return GetAppSetting(settings, key).empty(); });
}

// Every name equally likely: the integer part of n x r, r uniform in [0, 1).
std::size_t DrawIndex(ports::Random& random, std::size_t count) {
  const double r = random.Uniform();
  const auto index = static_cast<std::size_t>(std::floor(static_cast<double>(count) * r));
  return std::min(index, count - 1);  // r just below 1 must not round up to n
}

}  // namespace

JobOutcome Main(const ports::Platform& platform) {
  if (GetAppSetting(platform.settings, keys::kFirstRun).empty()) {
    ReportMessage(platform, kNeedsConfigurationNotice);
    SaveAppSetting(platform.settings, keys::kFirstRun, "1");
    return JobOutcome::Ended(ExitCode::Done);
  }
  const std::string commandLine = platform.process.CommandLine();
  if (commandLine == "/C" || commandLine == "/c") {
    platform.configWindow.Open();
    return JobOutcome::WithWindowOpen();
  }
  if (commandLine.empty()) return RunFromSettings(platform);
  return JobOutcome::Ended(RunFromCommandLine(platform, commandLine));
}

ExitCode RunFromCommandLine(const ports::Platform& platform, const std::string& commandLine) {
  const std::vector<std::string> fields = text::SplitAtCommas(commandLine);
  if (fields.size() < 7) {
    ReportMessage(platform, kUsageMessage);
    return ExitCode::Usage;
  }
  // The fifth field is the block's width and the sixth its height.
  const wallpaper::WallpaperRequest request{text::TrimSpaces(fields[0]),
                                            text::TrimSpaces(fields[1]),
                                            fields[2],
                                            fields[3],
                                            fields[4],
                                            fields[5],
                                            text::TrimSpaces(fields[6])};
  return MakeAndReport(platform, request);
}

JobOutcome RunFromSettings(const ports::Platform& platform) {
  ports::SettingsBackend& settings = platform.settings;
  if (!ConfigurationIsComplete(settings)) {
    ReportMessage(platform, kNeedsConfigurationNotice);
    platform.configWindow.Open();
    return JobOutcome::WithWindowOpen();
  }
  const std::string folder = GetAppSetting(settings, keys::kInsertDir);
  const std::vector<std::string> insets = ListInsets(platform.files, folder);
  if (insets.empty()) {
    ReportMessage(platform, "[" + folder + "] holds no picture matching " +
                                std::string(kInsetPatterns) + "... quitting.");
    return JobOutcome::Ended(ExitCode::NoInsets);
  }
  const std::string inset =
      text::JoinPath(folder, insets[DrawIndex(platform.random, insets.size())],
                     platform.pathRules.PathSeparator());

  // The saved run takes W as the block's width and H as its height.
  const wallpaper::WallpaperRequest request{
      GetAppSetting(settings, keys::kCanvas),    inset,
      GetAppSetting(settings, keys::kX),         GetAppSetting(settings, keys::kY),
      GetAppSetting(settings, keys::kW),         GetAppSetting(settings, keys::kH),
      GetAppSetting(settings, keys::kOutputFile)};
  return JobOutcome::Ended(MakeAndReport(platform, request));
}

}  // namespace tessarin::run
