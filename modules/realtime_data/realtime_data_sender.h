#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "common/ipc/real_time_data.h"
#include "common/util/feedback_formats.h"
#include "realtime_data/tcp_dispenser.h"
#include "realtime_data/timer.h"

namespace zelor::modules::realTimeData {

using common::util::TCPIPRealTimeDataFormater30005;
using common::util::tcpipRealTimeDataFormater;

// The send period of a "cycle" setting: 4 ms to 65535 ms.
std::uint16_t clampPeriod(std::int64_t cycle);

// One feedback port: a broadcast server and a timer thread that formats and
// sends one packet per period from the real-time record.
class tcpipRealTimeDataSender {
 public:
  static constexpr int kSendBufferSize = 2048;
  static constexpr std::uint32_t kValidPollMs = 10;

  tcpipRealTimeDataSender() = default;
  ~tcpipRealTimeDataSender();
  tcpipRealTimeDataSender(const tcpipRealTimeDataSender&) = delete;
  tcpipRealTimeDataSender& operator=(const tcpipRealTimeDataSender&) = delete;

  // bIsUseconfigFile: 0 sends the whole record at the period given; 1 the
  // fields and period of tcp30006Feedback.json; 2 the whole record at the
  // period of tcp30005Feedback.json. A new port opens a new server; the same
  // port keeps the server and its clients. Returns 0.
  int init(unsigned short port, unsigned short period, unsigned short maxConn, int bIsUseconfigFile);
  void setDataSource(RealTimeData_t* source) { source_.store(source); }
  // Ends the timer thread and closes the port and its clients; a later init
  // opens the port again.
  void stop();
  // The record's validity flag: 0 while the record is rewritten.
  void setValidFlag(std::uint16_t* flag) { validFlag_.store(flag); }

  // Packet length in the send buffer, or -1 when nothing is to be sent.
  int formatSendBuffer();
  static void sendOnce(void* self);

  std::uint16_t period() const { return period_; }
  const unsigned char* sendBuffer() const { return sendBuffer_; }
  // Packets that had to wait for the validity flag.
  std::uint64_t validityWaits() const { return validityWaits_.load(); }

 private:
  // Read tcp30006Feedback.json or tcp30005Feedback.json into the record
  // given (a missing file is created with its defaults); the reader's result.
  static int initFormater(tcpipRealTimeDataFormater& switches);
  static int initFormater30005(TCPIPRealTimeDataFormater30005& config);
  int _formatter();
  // Waits until the flag is set; false when a stop came first.
  bool waitForValidRecord();
  // A consistent copy of the record; false when a stop came first.
  bool copyRecord();

  bool customised_ = false;
  std::uint16_t port_ = 0;
  std::uint16_t period_ = 0;
  std::uint16_t maxConn_ = 0;
  std::unique_ptr<tcpDispenser> dispenser_;
  Timer timer_;
  unsigned char sendBuffer_[kSendBufferSize] = {};
  tcpipRealTimeDataFormater switches_{};
  TCPIPRealTimeDataFormater30005 config30005_{};
  std::atomic<RealTimeData_t*> source_{nullptr};
  std::atomic<std::uint16_t*> validFlag_{nullptr};
  RealTimeData_t snapshot_{};
  std::atomic<std::uint64_t> validityWaits_{0};
};

}  // namespace zelor::modules::realTimeData
