#include "pictures/read_ahead_source.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "pictures/held/held_picture.h"

namespace tessarin::pictures {
namespace {

constexpr std::size_t kStrips = 4;

}  // namespace

ReadAheadSource::ReadAheadSource(std::unique_ptr<ports::Picture> source, std::string path,
                                 std::size_t stripBytes, ThreadStarter startThread)
    : source_(std::move(source)),
      path_(std::move(path)),
      startThread_(std::move(startThread)),
      stride_(static_cast<std::size_t>(source_->Width()) * ports::kBytesPerPixel),
      stripRows_(static_cast<int>(
          std::clamp<std::size_t>(stripBytes / std::max<std::size_t>(stride_, 1), 1,
                                  static_cast<std::size_t>(std::max(source_->Height(), 1))))) {}

ReadAheadSource::~ReadAheadSource() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void ReadAheadSource::ReadRows(std::uint8_t* out, int rows) {
  CheckRowsLeft(path_, rowsRead_, rows, Height());
  if (!started_) direct_ = !StartDecoding();
  if (direct_) {
    source_->ReadRows(out, rows);
    rowsRead_ += rows;
    return;
  }
  Take(out, rows);
}

// False when no thread can be started: then the reader decodes for itself.
bool ReadAheadSource::StartDecoding() {
  started_ = true;
  strips_.resize(kStrips);
  for (Strip& strip : strips_) strip.pixels.resize(stride_ * static_cast<std::size_t>(stripRows_));
  try {
    worker_ = startThread_([this] { Decode(); });
    return true;
  } catch (const std::system_error&) {
    strips_.clear();
    return false;
  }
}

// The worker: fills the strips in turn, waiting while the next one is full.
// Rows decoded before a failure still reach the reader, then the failure.
void ReadAheadSource::Decode() {
  for (int done = 0, index = 0; done < Height(); index = (index + 1) % static_cast<int>(kStrips)) {
    Strip& strip = strips_[static_cast<std::size_t>(index)];
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || strip.rows == 0; });
      if (stopping_) return;
    }
    const int rows = std::min(stripRows_, Height() - done);
    int decoded = 0;
    std::exception_ptr failure;
    try {
      for (; decoded < rows; ++decoded) {
        source_->ReadRows(strip.pixels.data() + stride_ * static_cast<std::size_t>(decoded), 1);
      }
    } catch (...) {
      failure = std::current_exception();
    }
    done += decoded;
    {
      const std::lock_guard lock(mutex_);
      strip.rows = decoded;
      failure_ = failure;
    }
    changed_.notify_all();
    if (failure) return;
  }
}

void ReadAheadSource::Take(std::uint8_t* out, int rows) {
  while (rows > 0) {
    Strip& strip = strips_[readStrip_];
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return strip.rows > 0 || failure_; });
      if (strip.rows == 0) std::rethrow_exception(failure_);
    }
    const int count = std::min(rows, strip.rows - readOffset_);
    std::memcpy(out, strip.pixels.data() + stride_ * static_cast<std::size_t>(readOffset_),
                stride_ * static_cast<std::size_t>(count));
    out += stride_ * static_cast<std::size_t>(count);
    rows -= count;
    rowsRead_ += count;
    readOffset_ += count;
    if (readOffset_ == strip.rows) {
      {
        const std::lock_guard lock(mutex_);
        strip.rows = 0;
      }
      changed_.notify_all();
      readStrip_ = (readStrip_ + 1) % kStrips;
      readOffset_ = 0;
    }
  }
}

}  // namespace tessarin::pictures
