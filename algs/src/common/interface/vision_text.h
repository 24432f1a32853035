#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The camera's frame text: "comNum;x,y,r,attribute;x,y,r,attribute...".

// One object piece as parsed.
struct stVisionTracePoint {
  float x;
  float y;
  float r;
  std::uint8_t attribute;
};

// The ";" pieces of one frame text as views into it: the first kCapacity are
// kept, `total` counts them all. Fixed storage: the intake runs under the
// host's kernel-call lock and allocates nothing.
struct VisionTextPieces {
  static constexpr std::size_t kCapacity = 101;
  std::array<std::string_view, kCapacity> piece{};
  std::size_t kept = 0;
  std::size_t total = 0;
};

// Splits the text into `pieces` (previous contents replaced), empty pieces
// kept (n separators give n + 1 pieces). 0 for an empty text (no pieces),
// else 1.
int parseCnvVisonData(std::string_view text, VisionTextPieces& pieces);

// What became of an object piece.
enum VisionPieceResult : int {
  kPieceNotFinite = -1,  // x, y or r beyond float32's range; point untouched
  kPieceMalformed = 0,   // fewer than four fields or an empty field; point untouched
  kPiecePoint = 1,       // the point holds the piece
};

// Parses one object piece into `point`. Fields after the fourth are not read.
VisionPieceResult getPointFromCnvVisonFrame(std::string_view piece, stVisionTracePoint& point);

// Number fields: leading white space skipped, reading stops at the first
// character that cannot continue the number, no number reads 0.
// Decimal with optional sign, fraction and exponent; no "nan", "inf" or hex.
double ReadVisionDecimal(std::string_view field);
// Decimal integer with optional sign; saturates at +-1e9, far outside any valid value.
long ReadVisionInteger(std::string_view field);
// Decimal integer with optional sign, kept modulo 256 (300 -> 44, -1 -> 255).
std::uint8_t ReadVisionByte(std::string_view field);
