#pragma once

#include <string>

#include "ports/platform.h"

namespace tessarin::run {

// The notice of the first run and of an incomplete configuration.
inline constexpr const char* kNeedsConfigurationNotice =
    "This application requires command line parameters or prior configuration before use.  "
    "Read the included README.TXT for further information";

// Word for word as users and their scripts have always seen it, although it
// lists [Height] before [Width] while the fifth field is the block's width and
// the sixth its height (RunFromCommandLine): the fields keep their order and
// the text keeps its words, and the README says which field is which.
inline constexpr const char* kUsageMessage =
    "Command line incomplete:\r\n"
    "Usage: Tessarin [CanvasPicture], [RandomPicture], [X], [Y], [Height], [Width], [OutputBMP]";

// "[<path>] does not exist... quitting."
std::string MissingPictureMessage(const std::string& path);

// Shows the text in the program's modal message box and waits for OK.
void ReportMessage(const ports::Platform& platform, const std::string& text);

}  // namespace tessarin::run
