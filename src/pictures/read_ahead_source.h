#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ports/pictures.h"

namespace tessarin::pictures {

// Decodes a streamed picture's rows on a second thread, a few strips ahead
// of the reader, so that decoding overlaps the writing of the output (the
// machine has at least two cores; the decoder is the slower half). The block
// of ReadTopLeft is read directly, without a thread, and so are all rows when
// no thread can be started (std::system_error: too little address space for
// its stack, too many threads).
class ReadAheadSource : public ports::Picture {
 public:
  // Starts the decoding thread; replaceable so that tests can refuse it.
  using ThreadStarter = std::function<std::thread(std::function<void()>)>;
  static std::thread StartThread(std::function<void()> work) { return std::thread(std::move(work)); }

  // `path` names the picture's file in a failure; each strip holds about
  // `stripBytes` of decoded rows (DecodeLimits::readAheadStripBytes).
  ReadAheadSource(std::unique_ptr<ports::Picture> source, std::string path, std::size_t stripBytes,
                  ThreadStarter startThread = StartThread);
  ~ReadAheadSource() override;
  ReadAheadSource(const ReadAheadSource&) = delete;
  ReadAheadSource& operator=(const ReadAheadSource&) = delete;

  int Width() const override { return source_->Width(); }
  int Height() const override { return source_->Height(); }
  ports::RowOrder Order() const override { return source_->Order(); }
  void ReadRows(std::uint8_t* out, int rows) override;
  ports::Bitmap ReadTopLeft(int width, int height) override { return source_->ReadTopLeft(width, height); }

 private:
  struct Strip {
    std::vector<std::uint8_t> pixels;
    int rows = 0;  // decoded rows it holds, 0 while free
  };

  bool StartDecoding();
  void Decode();
  void Take(std::uint8_t* out, int rows);

  std::unique_ptr<ports::Picture> source_;
  std::string path_;
  ThreadStarter startThread_;
  bool started_ = false;
  bool direct_ = false;  // no thread: rows are read straight from the source
  std::size_t stride_;
  int stripRows_;
  std::vector<Strip> strips_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread worker_;
  std::exception_ptr failure_;
  bool stopping_ = false;
  int rowsRead_ = 0;          // by the reader, in total
  std::size_t readStrip_ = 0; // the strip the reader is in
  int readOffset_ = 0;        // rows of it already read
};

}  // namespace tessarin::pictures
