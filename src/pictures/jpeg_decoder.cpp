#include "pictures/jpeg_decoder.h"

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <vector>

#include "base/failure.h"
#include "pictures/held/held_picture.h"
#include "pictures/row_decoder.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

constexpr std::size_t kInputBufferBytes = 64 * 1024;

// libjpeg must not return from error_exit: it jumps back to the Guard that
// made the call, which turns the message into a Failure.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void FailWith(j_common_ptr cinfo, const char* message) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::snprintf(err->message, sizeof err->message, "%s", message);
  std::longjmp(err->jump, 1);
}

[[noreturn]] void ExitOnError(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  FailWith(cinfo, text);
}

// Warnings are tolerated as a lenient viewer would, except data that ends in
// the middle of the picture: that is a damaged file, not a quirk.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level < 0 &&
      (cinfo->err->msg_code == JWRN_HIT_MARKER || cinfo->err->msg_code == JWRN_JPEG_EOF)) {
    FailWith(cinfo, "the picture data ends early");
  }
}

// A progressive file refines the whole picture once per scan; real files
// have a dozen, so DecodeLimits::maxJpegScans caps the work a crafted file
// can cause.
struct ScanCap {
  jpeg_progress_mgr pub;
  int maxScans;
};
static_assert(std::is_standard_layout_v<ScanCap>,
              "libjpeg's pointer to pub is cast back to ScanCap");

void OnProgress(j_common_ptr cinfo) {
  const int maxScans = reinterpret_cast<ScanCap*>(cinfo->progress)->maxScans;
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > maxScans) {
    FailWith(cinfo, "the picture has too many scans");
  }
}

// Feeds libjpeg from the InputFile in chunks; skips by moving the offset.
struct Source {
  jpeg_source_mgr pub;
  SequentialInput input;
  bool endGiven;
  JOCTET buffer[kInputBufferBytes];
};
static_assert(std::is_standard_layout_v<Source>, "libjpeg's pointer to pub is cast back to Source");

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<Source*>(cinfo->src);
  const auto read = src->input.Read(std::span<std::uint8_t>(src->buffer, kInputBufferBytes));
  if (!read) FailWith(reinterpret_cast<j_common_ptr>(cinfo), "the file cannot be read");
  std::size_t got = *read;
  if (got == 0) {
    // A file whose data is whole but whose end marker is missing still
    // decodes: give libjpeg one end marker. If it needed more data than
    // that, it warns that the data ended (a failure, see OnMessage).
    if (src->endGiven) FailWith(reinterpret_cast<j_common_ptr>(cinfo), "the file ends early");
    src->endGiven = true;
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    got = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = got;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<Source*>(cinfo->src);
  if (count <= 0) return;
  const auto skip = static_cast<std::size_t>(count);
  if (skip <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += skip;
    src->pub.bytes_in_buffer -= skip;
    return;
  }
  src->input.Skip(skip - src->pub.bytes_in_buffer);
  src->pub.bytes_in_buffer = 0;
}

// Adobe CMYK files store the inks inverted (255 = no ink), the usual case;
// without the Adobe marker they are taken as plain.
void CmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const int k = inverted ? cmyk[3] : 255 - cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const int ink = inverted ? cmyk[c] : 255 - cmyk[c];
      bgr[2 - c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
    }
  }
}

// Owns the libjpeg object so that a constructor that throws still frees it.
struct Decompressor {
  jpeg_decompress_struct cinfo{};
  bool created = false;
  Decompressor() = default;
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  ~Decompressor() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

class JpegDecoder : public ports::Picture {
 public:
  JpegDecoder(std::unique_ptr<ports::InputFile> file, DecodeSetup& setup)
      : file_(std::move(file)), setup_(setup) {
    cinfo_.err = jpeg_std_error(&err_.pub);
    err_.pub.error_exit = ExitOnError;
    err_.pub.emit_message = OnMessage;
    source_.reset(new Source{{}, SequentialInput(*file_), false, {}});
    Guard([this] { jpeg_create_decompress(&cinfo_); });
    decompressor_.created = true;
    source_->pub.init_source = InitSource;
    source_->pub.fill_input_buffer = FillInput;
    source_->pub.skip_input_data = SkipInput;
    source_->pub.resync_to_restart = jpeg_resync_to_restart;
    source_->pub.term_source = TermSource;
    cinfo_.src = &source_->pub;
    progress_.pub.progress_monitor = OnProgress;
    progress_.maxScans = setup_.limits.maxJpegScans;
    cinfo_.progress = &progress_.pub;
    cinfo_.mem->max_memory_to_use = static_cast<long>(setup_.limits.maxHeldBytes);
    Guard([this] { jpeg_read_header(&cinfo_, TRUE); });
    CheckWritableSize(file_->Path(), cinfo_.image_width, cinfo_.image_height, setup_.limits);
    cmyk_ = cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
    cinfo_.out_color_space = cmyk_ ? JCS_CMYK : JCS_EXT_BGR;
  }

  int Width() const override { return static_cast<int>(cinfo_.image_width); }
  int Height() const override { return static_cast<int>(cinfo_.image_height); }
  ports::RowOrder Order() const override { return ports::RowOrder::TopDown; }

  void ReadRows(std::uint8_t* out, int rows) override {
    Start();
    const std::size_t stride = static_cast<std::size_t>(Width()) * ports::kBytesPerPixel;
    for (int y = 0; y < rows; ++y) ReadRow(out + y * stride, Width());
  }

  ports::Bitmap ReadTopLeft(int width, int height) override {
    ports::Bitmap block =
        HeldBlankTopLeft(file_->Path(), width, height, Width(), Height(), setup_, blockMemory_);
    if (block.bgr.empty()) return block;
    Start();
    // A crop ending exactly on a block boundary can alter its last column,
    // so decode one more block column than needed and cut afterwards.
    const int blockWidth = cinfo_.max_h_samp_factor * DCTSIZE;
    JDIMENSION left = 0;
    auto cropWidth = static_cast<JDIMENSION>(std::min(block.width + blockWidth, Width()));
    Guard([this, &left, &cropWidth] { jpeg_crop_scanline(&cinfo_, &left, &cropWidth); });
    const auto decodedWidth = static_cast<int>(cinfo_.output_width);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(decodedWidth) * 3);
    const std::size_t blockStride = static_cast<std::size_t>(block.width) * 3;
    for (int y = 0; y < block.height; ++y) {
      ReadRow(row.data(), decodedWidth);
      std::memcpy(block.bgr.data() + y * blockStride, row.data(), blockStride);
    }
    return block;
  }

 private:
  template <typename Call>
  void Guard(Call call) {
    if (setjmp(err_.jump) != 0)
      throw Failure::InFile(FailureKind::DamagedPicture, file_->Path(), err_.message);
    call();
  }

  void Start() {
    if (started_) return;
    // A progressive file is decoded into coefficient buffers for the whole
    // picture first: their bytes come from the allowance.
    if (cinfo_.progressive_mode) {
      coefficientMemory_ = setup_.allowance.Take(file_->Path(), CoefficientBytes());
    }
    Guard([this] { jpeg_start_decompress(&cinfo_); });
    started_ = true;
    if (cmyk_) cmykRow_.resize(static_cast<std::size_t>(cinfo_.output_width) * 4);
  }

  // What libjpeg allocates for a whole-picture coefficient buffer: every
  // component's blocks, rounded up to its sampling factors, 128 bytes each.
  std::uint64_t CoefficientBytes() const {
    std::uint64_t bytes = 0;
    for (int i = 0; i < cinfo_.num_components; ++i) {
      const jpeg_component_info& c = cinfo_.comp_info[i];
      const auto round = [](std::uint64_t n, std::uint64_t to) { return (n + to - 1) / to * to; };
      bytes += round(c.width_in_blocks, static_cast<std::uint64_t>(c.h_samp_factor)) *
               round(c.height_in_blocks, static_cast<std::uint64_t>(c.v_samp_factor)) *
               sizeof(JBLOCK);
    }
    return bytes;
  }

  void ReadRow(std::uint8_t* out, int width) {
    held::CheckRowsLeft(file_->Path(), static_cast<int>(cinfo_.output_scanline), 1,
                        static_cast<int>(cinfo_.output_height));
    JSAMPROW row = cmyk_ ? cmykRow_.data() : out;
    Guard([this, &row] { jpeg_read_scanlines(&cinfo_, &row, 1); });
    if (cmyk_) CmykToBgr(cmykRow_.data(), out, width, cinfo_.saw_Adobe_marker != 0);
  }

  std::unique_ptr<ports::InputFile> file_;
  DecodeSetup& setup_;
  ErrorManager err_{};
  std::unique_ptr<Source> source_;
  ScanCap progress_{};
  Decompressor decompressor_;
  jpeg_decompress_struct& cinfo_ = decompressor_.cinfo;
  std::vector<std::uint8_t> cmykRow_;
  bool cmyk_ = false;
  bool started_ = false;
  held::HeldMemory coefficientMemory_;
  held::HeldMemory blockMemory_;
};

}  // namespace

std::unique_ptr<ports::Picture> OpenJpeg(std::unique_ptr<ports::InputFile> file,
                                         DecodeSetup& setup) {
  return std::make_unique<JpegDecoder>(std::move(file), setup);
}

}  // namespace tessarin::pictures
