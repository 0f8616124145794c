#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

#include "base/exit_code.h"

namespace tessarin {

// What went wrong, for whoever must tell one failure from another (the exit
// status, the tests) without reading the message, which is for people.
enum class FailureKind {
  InsetFolderMissing,  // the folder to pick an inset from cannot be listed
  PictureUnreadable,   // a picture's file cannot be opened or read
  DamagedPicture,      // not a picture we read, or data its decoder cannot get past
  PictureTooLarge,     // past a decode limit: width, memory held whole, drawing work
  DecoderOutOfMemory,  // decoding ran past the memory the platform bounds it to
  DecoderStopped,      // the decoding process ran out of time, or died
  BadAreaValue,        // an area value that is no 32-bit whole number
  OutputRefused,       // the wallpaper cannot be written where it is to go
  SettingsRefused,     // a settings write the platform refused
  NoDisplay,           // no window or box can be shown
  Platform,            // any other refusal of the platform (no home folder, a module)
};

// An unexpected platform failure (an undecodable picture, a bad area value, an
// unwritable file, no display for the window...). Thrown where it happens;
// the run's entry catches it, shows the message and ends the program with its
// status, which its kind decides.
class Failure : public std::runtime_error {
 public:
  Failure(FailureKind kind, const std::string& message)
      : std::runtime_error(message), kind_(kind) {}

  FailureKind Kind() const { return kind_; }
  ExitCode Status() const {
    return kind_ == FailureKind::NoDisplay ? ExitCode::NoDisplay : ExitCode::FailureStop;
  }

  // "<file>: <reason>", the form every failure about a file takes.
  static Failure InFile(FailureKind kind, const std::string& file, const std::string& reason) {
    return Failure(kind, file + ": " + reason);
  }

 private:
  FailureKind kind_;
};

// The system's text for an errno value ("No such file or directory"), the
// reason a failure about a file gives when a system call refused.
inline std::string ErrnoText(int error) { return std::generic_category().message(error); }

}  // namespace tessarin
