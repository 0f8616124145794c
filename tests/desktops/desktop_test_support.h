#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "linux/desktops/environment.h"
#include "linux/desktops/tool_runner.h"
#include "ports/pictures.h"
#include "support/temporary_folder.h"

namespace tessarin::testing {

using linux_platform::desktops::Environment;

// Is the program installed where the tests look for tools?
bool Installed(const std::string& program);

// A throw-away session: its own home, configuration and runtime folders, and
// the system's tools on PATH (fake ones first, once MakeFakeTool added some).
class ThrowAwaySession {
 public:
  ThrowAwaySession();
  ThrowAwaySession(const ThrowAwaySession&) = delete;
  ThrowAwaySession& operator=(const ThrowAwaySession&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  Environment& Variables() { return environment_; }

  // A shell script named `tool` on the session's PATH.
  void MakeFakeTool(const std::string& tool, const std::string& script);
  // What fake tools wrote with LogArguments: each call's arguments, one a line.
  std::vector<std::vector<std::string>> LoggedCalls(const std::string& tool) const;
  // A shell line that logs the fake tool's arguments for LoggedCalls.
  std::string LogArguments(const std::string& tool) const;

 private:
  TemporaryFolder temporary_{"tessarin-session"};
  std::filesystem::path folder_ = temporary_.Path();
  Environment environment_;
};

// A program started by a test, whose standard output the test reads; it is
// killed when the test ends.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::vector<std::string>& arguments, const Environment& environment);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  // Reads until the output so far satisfies `ready` (true) or the time is
  // up or the program ends (false).
  bool WaitForOutput(const std::function<bool(const std::string&)>& ready,
                     std::chrono::milliseconds limit = std::chrono::seconds(10));
  const std::string& Output() const { return output_; }

 private:
  int pid_ = -1;
  int outputFd_ = -1;
  std::string output_;
};

// A private session bus for the session, its address exported to it.
class PrivateBus {
 public:
  explicit PrivateBus(ThrowAwaySession& session);
  bool Started() const { return started_; }

 private:
  std::unique_ptr<BackgroundProgram> daemon_;
  bool started_ = false;
};

// A picture given by its pixels, opened as rows in the chosen order.
class PatternPictures : public ports::Pictures {
 public:
  PatternPictures(ports::Bitmap image, ports::RowOrder order)
      : image_(std::move(image)), order_(order) {}
  std::unique_ptr<ports::Picture> Open(const std::string& path) override;
  std::vector<std::string> opened;

 private:
  ports::Bitmap image_;
  ports::RowOrder order_;
};

// A runner that answers from a script of outcomes and records every call.
class ScriptedTools : public linux_platform::desktops::ToolRunner {
 public:
  linux_platform::desktops::ToolOutcome Run(const std::string& tool,
                                            const std::vector<std::string>& arguments) override;
  // Every call to `tool` whose arguments start with `prefix` gets `outcome`.
  void Answer(const std::string& tool, std::vector<std::string> prefix,
              linux_platform::desktops::ToolOutcome outcome);
  std::vector<std::vector<std::string>> calls;  // tool first, then the arguments

 private:
  struct Rule {
    std::string tool;
    std::vector<std::string> prefix;
    linux_platform::desktops::ToolOutcome outcome;
  };
  std::vector<Rule> rules_;
};

// The lines a desktop reported, each ended by "\n".
struct ReportedLines {
  std::string text;
  std::function<void(const std::string&)> Sink() {
    return [this](const std::string& line) { text += line + "\n"; };
  }
};

linux_platform::desktops::ToolOutcome Outcome(linux_platform::desktops::ToolOutcome::Status status,
                                              std::string output = {});

// Applies the wallpaper through the real tools of the session, as the named
// desktop would get it; returns what was reported about values that did not stick.
std::string ApplyIn(ThrowAwaySession& session, const std::string& desktop, const std::string& path);

}  // namespace tessarin::testing
