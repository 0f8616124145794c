#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "limits/run_limits.h"
#include "linux/desktops/environment.h"

namespace tessarin::linux_platform::desktops {

// How a desktop tool (or a piece of work in a child process) ended.
struct ToolOutcome {
  enum class Status { Succeeded, Failed, Missing, TimedOut };
  Status status = Status::Failed;
  std::string output;  // what it wrote to its standard output

  bool Succeeded() const { return status == Status::Succeeded; }
  // A missing tool or a hung service: later calls to it are not worth making.
  bool Unreachable() const { return status == Status::Missing || status == Status::TimedOut; }
};

// Runs the helper tools a desktop is reached through.
class ToolRunner {
 public:
  virtual ~ToolRunner() = default;
  virtual ToolOutcome Run(const std::string& tool, const std::vector<std::string>& arguments) = 0;
};

// Runs tools as child processes with the snapshot's environment (their PATH
// decides where a tool is found); their input is empty and whatever they
// write to standard error is dropped, since desktop failures are silent.
class ProcessToolRunner : public ToolRunner {
 public:
  explicit ProcessToolRunner(Environment environment,
                             std::chrono::milliseconds limit = limits::kToolTimeLimit)
      : environment_(std::move(environment)), limit_(limit) {}

  ToolOutcome Run(const std::string& tool, const std::vector<std::string>& arguments) override;

 private:
  std::string FindTool(const std::string& tool) const;
  Environment environment_;
  std::chrono::milliseconds limit_;
};

// Runs `work` in a forked child, so that a library it loads can neither
// crash nor hang the run; the text it returns comes back as the output.
ToolOutcome RunInChild(const std::function<std::string()>& work,
                       std::chrono::milliseconds limit = limits::kToolTimeLimit);

}  // namespace tessarin::linux_platform::desktops
