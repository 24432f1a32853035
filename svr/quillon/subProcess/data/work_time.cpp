#include "subProcess/data/work_time.h"

#include <fmt/format.h>

#include "common/util/atomic_file.h"

namespace work_time {
namespace {

constexpr std::int32_t kMinute = 60;
constexpr std::int32_t kHour = 60 * kMinute;
constexpr std::int32_t kDay = 24 * kHour;

void addSpan(std::int32_t& total, std::time_t& from, std::time_t now) {
  if (now > from) total = static_cast<std::int32_t>(total + (now - from));
  from = now;
}

void putLittleEndian(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((bits >> shift) & 0xff));
}

}  // namespace

std::string powerOnText(std::int32_t seconds) {
  return fmt::format("PowerOnTime:{}Day{}:{}:{}", seconds / kDay, seconds % kDay / kHour, seconds % kHour / kMinute,
                     seconds % kMinute);
}

bool save(const std::string& path, std::int32_t totals[2], std::time_t& start, std::time_t* enableStart,
          std::time_t now) {
  if (enableStart != nullptr) addSpan(totals[1], *enableStart, now);
  addSpan(totals[0], start, now);
  std::string bytes;
  putLittleEndian(bytes, totals[0]);
  putLittleEndian(bytes, totals[1]);
  return zelor::common::util::writeFileAtomic(path, bytes);
}

}  // namespace work_time
