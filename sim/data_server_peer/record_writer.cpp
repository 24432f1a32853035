#include "data_server_peer/record_writer.h"

#include <chrono>
#include <cstring>

#include "common/ipc/robot_map.h"

namespace zelor::sim {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRewritePeriod = 3900us;
constexpr auto kPatternHold = 10us;
constexpr auto kSlowRewrite = 1ms;
constexpr std::size_t kSlowFirstWord = 8;

void spinUntil(Clock::time_point t) {
  while (Clock::now() < t) {
  }
}

}  // namespace

RecordWriter::RecordWriter()
    : record_(robotMap::instance().record()), flag_(robotMap::instance().recordValid()) {
  fillPattern(pattern_);
}

RecordWriter::~RecordWriter() { stop(); }

void RecordWriter::fillPattern(RealTimeData_t& record) {
  auto* bytes = reinterpret_cast<unsigned char*>(&record);
  std::uint32_t x = 1;
  for (std::size_t i = 0; i < sizeof record; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = static_cast<unsigned char>(x >> 16);
  }
  record.TestValue = kRealTimeTestValue;
}

void RecordWriter::start(Mode mode) {
  if (thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread(&RecordWriter::run, this, mode);
}

void RecordWriter::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void RecordWriter::setFlag(std::uint16_t value) {
  std::atomic_ref<std::uint16_t>(*flag_).store(value, std::memory_order_release);
}

void RecordWriter::run(Mode mode) {
  Clock::time_point next = Clock::now();
  while (!stopping_) {
    if (hold_) {
      setFlag(0);
    } else if (mode == Mode::Pattern) {
      rewritePattern();
    } else {
      rewriteSlow();
    }
    next += kRewritePeriod;
    const Clock::time_point now = Clock::now();
    if (next < now) next = now;
    std::this_thread::sleep_until(next);
  }
}

void RecordWriter::rewritePattern() {
  setFlag(0);
  const Clock::time_point until = Clock::now() + kPatternHold;
  std::atomic_thread_fence(std::memory_order_release);
  std::memcpy(record_, &pattern_, sizeof pattern_);
  spinUntil(until);
  ++rewrites_;
  setFlag(1);
}

void RecordWriter::rewriteSlow() {
  setFlag(0);
  const std::uint64_t counter = ++rewrites_;
  const Clock::time_point start = Clock::now();
  auto* base = reinterpret_cast<unsigned char*>(record_);
  constexpr std::size_t kWords = (sizeof(RealTimeData_t) - kSlowFirstWord) / 8;
  for (std::size_t w = 0; w < kWords; ++w) {
    std::atomic_ref<std::uint64_t>(*reinterpret_cast<std::uint64_t*>(base + kSlowFirstWord + 8 * w))
        .store(counter, std::memory_order_relaxed);
    spinUntil(start + kSlowRewrite * static_cast<long>(w + 1) / static_cast<long>(kWords));
  }
  setFlag(1);
}

}  // namespace zelor::sim
