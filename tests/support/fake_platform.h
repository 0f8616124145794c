#pragma once

// Fakes of every platform interface, so that the logic runs in a test process.

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/failure.h"
#include "pictures/held/held_picture.h"
#include "ports/platform.h"
#include "text/ascii_text.h"

namespace tessarin::testing {

class FakeProcess : public ports::Process {
 public:
  std::string commandLine;
  std::string CommandLine() const override { return commandLine; }
};

class FakeMessages : public ports::Messages {
 public:
  std::vector<std::string> shown;
  void Show(const std::string& text) override { shown.push_back(text); }
};

// A window that closes as soon as it runs, with `closeStatus` or, when
// `failureInAnEvent` is set, with that failure.
class FakeConfigWindow : public ports::ConfigWindow {
 public:
  int opened = 0;
  int ran = 0;  // runs while open
  bool open = false;
  ExitCode closeStatus = ExitCode::Done;
  std::optional<std::string> failureInAnEvent;
  std::optional<Failure> openFails;  // thrown by Open, as a window without a display does
  void Open() override {
    if (openFails) throw *openFails;
    ++opened;
    open = true;
  }
  ExitCode RunUntilClosed() override {
    if (!open) return ExitCode::Done;
    open = false;
    ++ran;
    if (failureInAnEvent) throw Failure(FailureKind::SettingsRefused, *failureInAnEvent);
    return closeStatus;
  }
};

class FakeSettings : public ports::SettingsBackend {
 public:
  std::map<std::string, std::string> values;  // "application/section/key"
  bool refuseWrites = false;
  std::string Read(const std::string& application, const std::string& section,
                   const std::string& key, const std::string& fallback) override {
    const auto found = values.find(application + "/" + section + "/" + key);
    return found == values.end() ? fallback : found->second;
  }
  void Write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override {
    if (refuseWrites) throw Failure::InFile(FailureKind::SettingsRefused, "settings", "read-only");
    values[application + "/" + section + "/" + key] = value;
  }
  // Section App of application Tessarin.
  void Set(const std::string& key, const std::string& value) {
    values["Tessarin/App/" + key] = value;
  }
  std::optional<std::string> Get(const std::string& key) const {
    const auto found = values.find("Tessarin/App/" + key);
    if (found == values.end()) return std::nullopt;
    return found->second;
  }
};

// Output files land in `written` only when committed.
class FakeFiles : public ports::Files {
 public:
  std::set<std::string> ordinaryFiles;
  std::map<std::string, std::vector<std::string>> folders;
  std::map<std::string, std::vector<std::uint8_t>> written;
  bool failWrites = false;
  bool failCreate = false;  // as for an output in a missing folder
  int replacementsCreated = 0;

  bool IsOrdinaryFile(const std::string& path) override { return ordinaryFiles.count(path) > 0; }
  std::vector<std::string> ListOrdinaryFiles(const std::string& folder) override {
    const auto found = folders.find(folder);
    if (found == folders.end())
      throw Failure::InFile(FailureKind::InsetFolderMissing, folder, "No such file or directory");
    return found->second;
  }
  std::unique_ptr<ports::InputFile> OpenForReading(const std::string& path) override {
    throw Failure::InFile(FailureKind::PictureUnreadable, path, "the fake has no file contents");
  }
  std::unique_ptr<ports::OutputFile> CreateReplacement(const std::string& path,
                                                       std::uint64_t size) override {
    if (failCreate)
      throw Failure::InFile(FailureKind::OutputRefused, path, "No such file or directory");
    ++replacementsCreated;
    return std::make_unique<Output>(*this, path, size);
  }

 private:
  class Output : public ports::OutputFile {
   public:
    Output(FakeFiles& files, std::string path, std::uint64_t size)
        : files_(files), path_(std::move(path)), bytes_(size) {}
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
      if (files_.failWrites)
        throw Failure::InFile(FailureKind::OutputRefused, path_, "No space left on device");
      if (offset + bytes.size() > bytes_.size())
        throw Failure::InFile(FailureKind::OutputRefused, path_, "write past the size");
      std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
    }
    void Commit() override { files_.written[path_] = bytes_; }

   private:
    FakeFiles& files_;
    std::string path_;
    std::vector<std::uint8_t> bytes_;
  };
};

// A picture held in memory, delivered in either row order. A damaged one
// fails on reading any of its rows from `damagedFrom` down.
class FakeSource : public ports::Picture {
 public:
  FakeSource(std::string path, ports::Bitmap image, ports::RowOrder order,
             std::optional<int> damagedFrom, std::vector<std::pair<int, int>>& blocks,
             std::function<void()> readAhead = {})
      : path_(std::move(path)),
        image_(std::move(image)),
        order_(order),
        damagedFrom_(damagedFrom),
        blocks_(blocks),
        readAhead_(std::move(readAhead)) {}
  int Width() const override { return image_.width; }
  int Height() const override { return image_.height; }
  ports::RowOrder Order() const override { return order_; }
  void ReadRows(std::uint8_t* out, int rows) override {
    const std::size_t rowBytes = static_cast<std::size_t>(image_.width) * 3;
    for (int i = 0; i < rows; ++i, ++next_) {
      const int y = order_ == ports::RowOrder::TopDown ? next_ : image_.height - 1 - next_;
      if (damagedFrom_ && y >= *damagedFrom_)
        throw Failure::InFile(FailureKind::DamagedPicture, path_, "damaged data");
      std::memcpy(out + rowBytes * static_cast<std::size_t>(i),
                  image_.bgr.data() + rowBytes * static_cast<std::size_t>(y), rowBytes);
    }
    if (rowsDelivered) *rowsDelivered += rows;
  }
  ports::Bitmap ReadTopLeft(int width, int height) override {
    blocks_.emplace_back(width, height);
    if (rowsDeliveredAtBlock) rowsDeliveredAtBlock->push_back(*rowsDelivered);
    if (damagedFrom_ && std::min(height, image_.height) > *damagedFrom_)
      throw Failure::InFile(FailureKind::DamagedPicture, path_, "damaged data");
    return pictures::held::HeldPicture(image_, path_).ReadTopLeft(width, height);
  }
  void ReadAhead() override {
    if (readAhead_) readAhead_();
  }
  bool TopLeftReady() override { return topLeftReady; }
  // When asked to, rows of the image itself: as many as asked top-down, one
  // at a time bottom-up (where the next row lies above the one before).
  ports::LentRows LendRows(int rows) override {
    if (!rowsLent) return {};
    const int count = order_ == ports::RowOrder::TopDown ? rows : 1;
    const int y = order_ == ports::RowOrder::TopDown ? next_ : image_.height - 1 - next_;
    if (damagedFrom_ && std::max(y, y + count - 1) >= *damagedFrom_)
      throw Failure::InFile(FailureKind::DamagedPicture, path_, "damaged data");
    next_ += count;
    *rowsLent += count;
    if (rowsDelivered) *rowsDelivered += count;
    return {image_.bgr.data() + static_cast<std::size_t>(image_.width) * 3 * y, count};
  }
  int* rowsLent = nullptr;  // lends its rows when set, and counts them there
  // When set: every picture's rows delivered are counted in the first, and
  // that count is noted in the second when a block is read.
  int* rowsDelivered = nullptr;
  std::vector<int>* rowsDeliveredAtBlock = nullptr;
  bool topLeftReady = true;

 private:
  std::string path_;
  ports::Bitmap image_;
  ports::RowOrder order_;
  std::optional<int> damagedFrom_;
  std::vector<std::pair<int, int>>& blocks_;
  std::function<void()> readAhead_;
  int next_ = 0;
};

class FakePictures : public ports::Pictures {
 public:
  std::map<std::string, ports::Bitmap> images;
  std::map<std::string, int> damagedFrom;  // the first damaged row of a picture
  ports::RowOrder order = ports::RowOrder::TopDown;
  std::vector<std::string> opened;
  std::vector<std::pair<int, int>> blocksRead;  // ReadTopLeft's width and height
  // Each picture told ReadAhead, with how many pictures had been opened then.
  std::vector<std::pair<std::string, std::size_t>> readAhead;
  bool lendRows = false;  // the pictures lend their rows (ports::Picture::LendRows)
  int rowsLent = 0;
  int rowsDelivered = 0;                  // of every picture, read or lent
  std::vector<int> rowsDeliveredAtBlock;  // as each block was read
  bool blocksReady = true;                // ports::Picture::TopLeftReady
  std::function<void()> whenOpening;      // may throw what a platform could

  std::unique_ptr<ports::Picture> Open(const std::string& path) override {
    opened.push_back(path);
    if (whenOpening) whenOpening();
    const auto found = images.find(path);
    if (found == images.end())
      throw Failure::InFile(FailureKind::DamagedPicture, path, "not a picture");
    const auto damaged = damagedFrom.find(path);
    auto source = std::make_unique<FakeSource>(
        path, found->second, order,
        damaged == damagedFrom.end() ? std::nullopt : std::optional(damaged->second), blocksRead,
        [this, path] { readAhead.emplace_back(path, opened.size()); });
    if (lendRows) source->rowsLent = &rowsLent;
    source->rowsDelivered = &rowsDelivered;
    source->rowsDeliveredAtBlock = &rowsDeliveredAtBlock;
    source->topLeftReady = blocksReady;
    return source;
  }
};

class FakeRandom : public ports::Random {
 public:
  double value = 0.0;
  double Uniform() override { return value; }
};

// Records every path installed, in order.
class FakeWallpaper : public ports::Wallpaper {
 public:
  std::vector<std::string> installed;
  void ShowAndKeep(const std::string& path) override { installed.push_back(path); }
};

class FakePathRules : public ports::PathRules {
 public:
  char separator = '/';
  bool ignoreCase = false;
  char PathSeparator() const override { return separator; }
  bool FileNamesIgnoreCase() const override { return ignoreCase; }
  std::string LowerCase(const std::string& text) const override { return text::AsciiLower(text); }
};

class FakeLocale : public ports::Locale {
 public:
  std::string decimalSeparator = ".";
  std::string DecimalSeparator() const override { return decimalSeparator; }
};

struct FakePlatform {
  FakeProcess process;
  FakeMessages messages;
  FakeConfigWindow configWindow;
  FakeSettings settings;
  FakeFiles files;
  FakePictures pictures;
  FakeRandom random;
  FakeWallpaper wallpaper;
  FakePathRules pathRules;
  FakeLocale locale;
  ports::Platform platform{process,  messages, configWindow, settings,  files,
                           pictures, random,   wallpaper,    pathRules, locale};
};

// A picture whose every pixel tells where it is: blue = x, green = y, red = tag.
inline ports::Bitmap PatternImage(int width, int height, std::uint8_t tag) {
  ports::Bitmap image{width, height, {}};
  image.bgr.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.bgr.push_back(static_cast<std::uint8_t>(x));
      image.bgr.push_back(static_cast<std::uint8_t>(y));
      image.bgr.push_back(tag);
    }
  }
  return image;
}

}  // namespace tessarin::testing
