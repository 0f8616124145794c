#pragma once

#include "linux/input_files.h"
#include "linux/replacement_file.h"
#include "ports/files.h"

namespace tessarin::linux_platform {

// The files port on Linux: the inputs through its InputOpener (input_files.h),
// which the picture opener shares so that a file found is the file decoded;
// replacements as CreateReplacementFile makes them (replacement_file.h).
class LinuxFiles : public ports::Files {
 public:
  explicit LinuxFiles(UnnamedTemporaries unnamed = UnnamedTemporaries::WhereSupported)
      : unnamed_(unnamed) {}

  bool IsOrdinaryFile(const std::string& path) override { return inputs_.IsOrdinaryFile(path); }
  std::vector<std::string> ListOrdinaryFiles(const std::string& folder) override {
    return linux_platform::ListOrdinaryFiles(folder);
  }
  std::unique_ptr<ports::InputFile> OpenForReading(const std::string& path) override {
    return inputs_.Open(path);
  }
  std::unique_ptr<ports::OutputFile> CreateReplacement(const std::string& path,
                                                       std::uint64_t size) override {
    return CreateReplacementFile(path, size, unnamed_);
  }

  // What found files are kept in, for whatever else opens the same inputs.
  InputOpener& Inputs() { return inputs_; }

 private:
  UnnamedTemporaries unnamed_;
  InputOpener inputs_;
};

}  // namespace tessarin::linux_platform
