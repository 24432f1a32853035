#include "common/interface/vision_text.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <locale.h>

namespace {

constexpr long kIntegerSaturation = 1000000000L;
constexpr std::size_t kPointFields = 4;
constexpr std::size_t kNumberBuffer = 128;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view skipSpace(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  return s.substr(i);
}

// Length of the leading run of digits.
std::size_t digitRun(std::string_view s, std::size_t from) {
  std::size_t i = from;
  while (i < s.size() && isDigit(s[i])) ++i;
  return i - from;
}

// Length of the longest prefix that is a decimal number of the grammar, 0 when none.
std::size_t decimalPrefix(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t whole = digitRun(s, i);
  i += whole;
  std::size_t fraction = 0;
  if (i < s.size() && s[i] == '.') {
    fraction = digitRun(s, i + 1);
    if (whole > 0 || fraction > 0) i += 1 + fraction;
  }
  if (whole == 0 && fraction == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    const std::size_t exponent = digitRun(s, e);
    if (exponent > 0) i = e + exponent;
  }
  return i;
}

// The conversion runs in the "C" locale whatever locale the host process set.
locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

int parseCnvVisonData(std::string_view text, VisionTextPieces& pieces) {
  pieces.kept = 0;
  pieces.total = 0;
  if (text.empty()) return 0;
  for (;;) {
    const std::size_t sep = text.find(';');
    if (pieces.kept < VisionTextPieces::kCapacity) pieces.piece[pieces.kept++] = text.substr(0, sep);
    ++pieces.total;
    if (sep == std::string_view::npos) return 1;
    text.remove_prefix(sep + 1);
  }
}

double ReadVisionDecimal(std::string_view field) {
  const std::string_view s = skipSpace(field);
  const std::size_t length = decimalPrefix(s);
  if (length == 0) return 0.0;
  // Only a validated decimal reaches the conversion, so it cannot take the
  // special values or hexadecimal it would otherwise accept. Numbers of any
  // sensible length are copied on the stack; only an absurdly long one
  // costs an allocation.
  char buffer[kNumberBuffer];
  if (length < sizeof buffer) {
    std::memcpy(buffer, s.data(), length);
    buffer[length] = '\0';
    return strtod_l(buffer, nullptr, cLocale());
  }
  const std::string number(s.substr(0, length));
  return strtod_l(number.c_str(), nullptr, cLocale());
}

long ReadVisionInteger(std::string_view field) {
  const std::string_view s = skipSpace(field);
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long value = 0;
  for (; i < s.size() && isDigit(s[i]); ++i) {
    if (value < kIntegerSaturation) value = value * 10 + (s[i] - '0');
  }
  if (value > kIntegerSaturation) value = kIntegerSaturation;
  return negative ? -value : value;
}

std::uint8_t ReadVisionByte(std::string_view field) {
  const std::string_view s = skipSpace(field);
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  unsigned value = 0;
  for (; i < s.size() && isDigit(s[i]); ++i) value = (value * 10 + static_cast<unsigned>(s[i] - '0')) % 256;
  return static_cast<std::uint8_t>(negative ? (256 - value) % 256 : value);
}

VisionPieceResult getPointFromCnvVisonFrame(std::string_view piece, stVisionTracePoint& point) {
  std::array<std::string_view, kPointFields> fields{};
  std::size_t count = 0;
  std::string_view rest = piece;
  for (;;) {
    const std::size_t sep = rest.find(',');
    const std::string_view field = rest.substr(0, sep);
    if (field.empty()) return kPieceMalformed;
    if (count < kPointFields) fields[count] = field;
    ++count;
    if (sep == std::string_view::npos) break;
    rest.remove_prefix(sep + 1);
  }
  if (count < kPointFields) return kPieceMalformed;

  const float x = static_cast<float>(ReadVisionDecimal(fields[0]));
  const float y = static_cast<float>(ReadVisionDecimal(fields[1]));
  const float r = static_cast<float>(ReadVisionDecimal(fields[2]));
  // Beyond float32 the point would convert into non-finite positions that no
  // seen-before test catches and a move would take as its target.
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(r)) return kPieceNotFinite;
  point.x = x;
  point.y = y;
  point.r = r;
  point.attribute = ReadVisionByte(fields[3]);
  return kPiecePoint;
}
