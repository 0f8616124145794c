#pragma once

#include <memory>
#include <optional>
#include <utility>

#include "ports/pictures.h"

namespace tessarin::wallpaper {

// A picture as MakeWallpaper reads it: it knows how far it was read and
// whether it failed, so that when a later step fails first, the picture can
// still be read to its end and its own failure reported before the later one.
class FailureOrderedPicture : public ports::Picture {
 public:
  explicit FailureOrderedPicture(std::unique_ptr<ports::Picture> source)
      : source_(std::move(source)) {}

  int Width() const override { return source_->Width(); }
  int Height() const override { return source_->Height(); }
  ports::RowOrder Order() const override { return source_->Order(); }
  void ReadRows(std::uint8_t* out, int rows) override;
  // An empty block needs nothing of the picture.
  ports::Bitmap ReadTopLeft(int width, int height) override;
  void ReadAhead() override { source_->ReadAhead(); }
  void AskTopLeft(int width, int height) override;
  bool TopLeftReady() override { return source_->TopLeftReady(); }
  ports::LentRows LendRows(int rows) override;

  // Reads what the run has not yet read of the picture: the block asked for,
  // else the rows left, or every row when neither rows nor a block were
  // taken. Nothing once a block was taken (that is all the run needs of it)
  // or a read failed (a failed picture is never read again). Throws the
  // picture's failure.
  void ReadToTheEnd();

  // A read of it failed.
  bool Failed() const { return failed_; }

 private:
  // A read that fails finishes the picture: it is never read again.
  template <typename Read>
  auto FinishedIfItThrows(Read read) -> decltype(read()) {
    try {
      return read();
    } catch (...) {
      finished_ = failed_ = true;
      throw;
    }
  }

  std::unique_ptr<ports::Picture> source_;
  int rowsRead_ = 0;
  std::optional<std::pair<int, int>> askedBlock_;  // its width and height
  bool finished_ = false;                          // a block was taken or a read failed
  bool failed_ = false;
};

}  // namespace tessarin::wallpaper
