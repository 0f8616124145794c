#include "wallpaper/failure_ordered_picture.h"

#include <vector>

namespace tessarin::wallpaper {

void FailureOrderedPicture::ReadRows(std::uint8_t* out, int rows) {
  FinishedIfItThrows([&] { source_->ReadRows(out, rows); });
  rowsRead_ += rows;
}

ports::LentRows FailureOrderedPicture::LendRows(int rows) {
  const ports::LentRows lent = FinishedIfItThrows([&] { return source_->LendRows(rows); });
  rowsRead_ += lent.count;
  return lent;
}

void FailureOrderedPicture::AskTopLeft(int width, int height) {
  askedBlock_.emplace(width, height);
  if (width > 0 && height > 0) source_->AskTopLeft(width, height);
}

ports::Bitmap FailureOrderedPicture::ReadTopLeft(int width, int height) {
  finished_ = true;
  if (width <= 0 || height <= 0) return {};
  return FinishedIfItThrows([&] { return source_->ReadTopLeft(width, height); });
}

void FailureOrderedPicture::ReadToTheEnd() {
  if (finished_) return;
  if (askedBlock_) {
    ReadTopLeft(askedBlock_->first, askedBlock_->second);
    return;
  }
  if (rowsRead_ >= Height()) return;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(Width()) * ports::kBytesPerPixel);
  while (rowsRead_ < Height()) ReadRows(row.data(), 1);
  finished_ = true;
}

}  // namespace tessarin::wallpaper
