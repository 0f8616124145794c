#pragma once

// The numbers a Windows metafile speaks in, by name: its headers, its record
// functions and the flags and styles its records carry. Seen by the renderer's
// files only.

#include <cstddef>
#include <cstdint>

namespace tessarin::pictures::metafile {

// ---- the file's layout ----

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeaderBytes = 22;
constexpr std::size_t kHeaderBytes = 18;
constexpr std::uint16_t kHeaderWords = kHeaderBytes / 2;
// Each record starts with its size in words (4 bytes) and its function (2).
constexpr std::size_t kRecordHeaderBytes = 6;
constexpr std::uint32_t kRecordHeaderWords = kRecordHeaderBytes / 2;

// Record functions (the low byte names the record; the high byte counts its
// parameters in some writers, which is why the full word is compared).
enum class RecordFunction : std::uint16_t {
  kEof = 0x0000,
  kSaveDc = 0x001E,
  kCreatePalette = 0x00F7,
  kSetBkMode = 0x0102,
  kSetMapMode = 0x0103,
  kSetPolyFillMode = 0x0106,
  kRestoreDc = 0x0127,
  kSelectObject = 0x012D,
  kSetTextAlign = 0x012E,
  kDibCreatePatternBrush = 0x0142,
  kDeleteObject = 0x01F0,
  kCreatePatternBrush = 0x01F9,
  kSetBkColor = 0x0201,
  kSetTextColor = 0x0209,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kSetViewportOrg = 0x020D,
  kSetViewportExt = 0x020E,
  kOffsetWindowOrg = 0x020F,
  kOffsetViewportOrg = 0x0211,
  kLineTo = 0x0213,
  kMoveTo = 0x0214,
  kCreatePenIndirect = 0x02FA,
  kCreateFontIndirect = 0x02FB,
  kCreateBrushIndirect = 0x02FC,
  kPolygon = 0x0324,
  kPolyline = 0x0325,
  kScaleWindowExt = 0x0410,
  kScaleViewportExt = 0x0412,
  kIntersectClipRect = 0x0416,
  kEllipse = 0x0418,
  kRectangle = 0x041B,
  kSetPixel = 0x041F,
  kTextOut = 0x0521,
  kPolyPolygon = 0x0538,
  kRoundRect = 0x061C,
  kPatBlt = 0x061D,
  kCreateRegion = 0x06FF,
  kArc = 0x0817,
  kPie = 0x081A,
  kChord = 0x0830,
  kDibBitBlt = 0x0940,
  kExtTextOut = 0x0A32,
  kDibStretchBlt = 0x0B41,
  kSetDibToDev = 0x0D33,
  kStretchDib = 0x0F43,
};

// The parameter words a writer's high byte counts for `function`.
constexpr std::size_t CountedWords(RecordFunction function) {
  return static_cast<std::uint16_t>(function) >> 8;
}

enum MapMode {
  kText = 1,
  kLoMetric,
  kHiMetric,
  kLoEnglish,
  kHiEnglish,
  kTwips,
  kIsotropic,
  kAnisotropic
};

// SetBkMode and SetPolyFillMode: the one value of each that the renderer tells apart.
constexpr std::uint16_t kOpaqueBackground = 2;
constexpr std::uint16_t kWindingFill = 2;

// SetTextAlign's flags: the current position, then the horizontal and the
// vertical placement, each a field of its own.
namespace text_align {
constexpr int kUpdatesPosition = 0x0001;
constexpr int kHorizontal = 0x0006;  // the field
constexpr int kLeft = 0x0000;
constexpr int kRight = 0x0002;
constexpr int kCentre = 0x0006;
constexpr int kVertical = 0x0018;  // the field
constexpr int kTop = 0x0000;
constexpr int kBottom = 0x0008;
constexpr int kBaseline = 0x0018;
}  // namespace text_align

// ExtTextOut's options.
constexpr std::uint16_t kTextOpaque = 0x0002;
constexpr std::uint16_t kTextClipped = 0x0004;

// A pen's style is the low four bits of its style word.
constexpr std::uint16_t kPenStyleBits = 0x000F;
enum PenStyle : int {
  kPenSolid = 0,
  kPenDash = 1,
  kPenDot = 2,
  kPenDashDot = 3,
  kPenDashDotDot = 4,
  kPenNull = 5,
};

enum BrushStyle : int {
  kBrushSolid = 0,
  kBrushNull = 1,
  kBrushHatched = 2,
  kBrushPattern = 3,  // a device-dependent bitmap
  kBrushDibPattern = 5,
};

enum HatchStyle : int {
  kHatchHorizontal = 0,
  kHatchVertical = 1,
  kHatchDownward = 2,  // "\"
  kHatchUpward = 3,    // "/"
  kHatchCross = 4,
  kHatchDiagonalCross = 5,
};

// A font's weight when the record gives none; at least kBoldWeight is drawn bold.
constexpr int kNormalWeight = 400;
constexpr int kBoldWeight = 600;
constexpr std::size_t kFontFaceBytes = 32;

// A COLORREF whose high byte is this is a palette index.
constexpr std::uint32_t kPaletteIndexTag = 1;

// Raster operations.
constexpr std::uint32_t kSrcCopy = 0x00CC0020, kSrcPaint = 0x00EE0086, kSrcAnd = 0x008800C6;
constexpr std::uint32_t kPatCopy = 0x00F00021, kBlackness = 0x00000042, kWhiteness = 0x00FF0062;

// The OS/2 bitmap core header's size (a DIB's first field).
constexpr std::uint32_t kCoreHeaderBytes = 12;

}  // namespace tessarin::pictures::metafile
