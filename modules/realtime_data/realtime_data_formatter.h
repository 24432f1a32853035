#pragma once

#include <cstdint>

#include "common/ipc/real_time_data.h"
#include "common/util/feedback_formats.h"

namespace zelor::modules::realTimeData {

using common::util::tcpipRealTimeDataFormater;

// Builds the customised packets of port 30006: the switched-on fields of the
// real-time record, in record order, each at its aligned position.
class tcpipRealTimeData {
 public:
  static tcpipRealTimeData& Instance();

  // Packet length in bytes; out must hold kRealTimeRecordBytes bytes.
  std::uint16_t formatCustomizedPackets(const tcpipRealTimeDataFormater& switches, const RealTimeData_t* record,
                                        unsigned char* out) const;
  // The same with this object's own record.
  std::uint16_t formatCustomizedPackets(const tcpipRealTimeDataFormater& switches, unsigned char* out) const;

  // Copy count values at pos after aligning it for the value's type (bytes
  // and the 32-bit integer: none; u16: 2; doubles and u64: 4), zeroing the
  // skipped bytes.
  static void _CustomizedFormatterInsert(unsigned char* out, std::uint16_t& pos, const signed char* src,
                                         unsigned char count);
  static void _CustomizedFormatterInsert(unsigned char* out, std::uint16_t& pos, const double* src,
                                         unsigned char count);
  static void _CustomizedFormatterInsert(unsigned char* out, std::uint16_t& pos, const unsigned short* src,
                                         unsigned char count);
  static void _CustomizedFormatterInsert(unsigned char* out, std::uint16_t& pos, const unsigned long long* src,
                                         unsigned char count);

  RealTimeData_t& record() { return record_; }

 private:
  tcpipRealTimeData() = default;
  RealTimeData_t record_{};
};

inline constexpr std::size_t kRealTimeRecordBytes = sizeof(RealTimeData_t);

}  // namespace zelor::modules::realTimeData
