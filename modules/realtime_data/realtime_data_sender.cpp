#include "realtime_data/realtime_data_sender.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/util/json_util.h"
#include "log/ombrel.h"
#include "realtime_data/realtime_data_formatter.h"

namespace zelor::modules::realTimeData {

namespace {

constexpr int kChannel15 = ~15;
constexpr int kInfo = 2;
constexpr std::uint16_t kWholeRecordLength = sizeof(RealTimeData_t);
constexpr int kValidLogEvery = 300;

std::uint16_t loadFlag(std::uint16_t* flag) {
  return std::atomic_ref<std::uint16_t>(*flag).load(std::memory_order_acquire);
}

std::uint64_t loadTimeStamp(RealTimeData_t* record) {
  return std::atomic_ref<std::uint64_t>(record->TimeStamp).load(std::memory_order_acquire);
}

}  // namespace

std::uint16_t clampPeriod(std::int64_t cycle) {
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(cycle, 4, 65535));
}

tcpipRealTimeDataSender::~tcpipRealTimeDataSender() { stop(); }

void tcpipRealTimeDataSender::stop() {
  timer_.stop();
  dispenser_.reset();
  port_ = 0;
}

int tcpipRealTimeDataSender::init(unsigned short port, unsigned short period, unsigned short maxConn,
                                  int bIsUseconfigFile) {
  // The timer thread formats with the switches: the new ones are read into
  // copies and installed only once it has stopped.
  bool customised = false;
  tcpipRealTimeDataFormater switches = switches_;
  TCPIPRealTimeDataFormater30005 config30005 = config30005_;
  std::uint16_t newPeriod = period;
  if (bIsUseconfigFile == 1) {
    initFormater(switches);
    newPeriod = clampPeriod(switches.cycle);
    customised = true;
  } else if (bIsUseconfigFile == 2) {
    initFormater30005(config30005);
    newPeriod = clampPeriod(config30005.cycle);
  }
  newPeriod = clampPeriod(newPeriod);
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo,
                           "function enter port:{},period:{},maxConn:{},bIsUseconfigFile :{}", port, newPeriod, maxConn,
                           bIsUseconfigFile);
  timer_.stop();
  customised_ = customised;
  switches_ = switches;
  config30005_ = config30005;
  if (port_ != port) {
    dispenser_.reset();
    dispenser_ = std::make_unique<tcpDispenser>();
    port_ = port;
    maxConn_ = maxConn;
    dispenser_->init(port, maxConn, true);
  }
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "period {}", newPeriod);
  timer_.start(newPeriod, [this] { sendOnce(this); });
  period_ = newPeriod;
  return 0;
}

int tcpipRealTimeDataSender::initFormater(tcpipRealTimeDataFormater& switches) {
  return common::util::JsonUtil::getTcpipRealTimeConf30006(switches, true);
}

int tcpipRealTimeDataSender::initFormater30005(TCPIPRealTimeDataFormater30005& config) {
  return common::util::JsonUtil::getTcpipRealTimeConf30005(config, true);
}

bool tcpipRealTimeDataSender::waitForValidRecord() {
  std::uint16_t* flag = validFlag_.load();
  if (flag == nullptr || loadFlag(flag) != 0) return true;
  ++validityWaits_;
  for (int polls = 0; loadFlag(flag) == 0; ++polls) {
    // A record that is never written must not hold up a stop.
    if (timer_.stopRequested()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kValidPollMs));
    if (polls % kValidLogEvery == kValidLogEvery - 1) {
      spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, " waiting for a vaild value ... {} \n", polls);
    }
  }
  return true;
}

bool tcpipRealTimeDataSender::copyRecord() {
  // The writer clears the flag, rewrites the record and sets the flag: a copy
  // is whole when the flag was set before and after it and the time stamp,
  // written early in a rewrite, did not change meanwhile.
  RealTimeData_t* source = source_.load();
  std::uint16_t* flag = validFlag_.load();
  for (;;) {
    if (!waitForValidRecord()) return false;
    std::memcpy(&snapshot_, source, sizeof snapshot_);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (flag == nullptr) return true;
    if (loadFlag(flag) != 0 && loadTimeStamp(source) == snapshot_.TimeStamp) return true;
  }
}

int tcpipRealTimeDataSender::_formatter() {
  if (source_.load() == nullptr) return -1;
  return tcpipRealTimeData::Instance().formatCustomizedPackets(switches_, &snapshot_, sendBuffer_);
}

int tcpipRealTimeDataSender::formatSendBuffer() {
  if (source_.load() == nullptr) return -1;
  if (!copyRecord()) return -1;
  if (customised_) return _formatter();
  std::memcpy(sendBuffer_, &snapshot_, sizeof snapshot_);
  std::memcpy(sendBuffer_, &kWholeRecordLength, sizeof kWholeRecordLength);
  return kWholeRecordLength;
}

void tcpipRealTimeDataSender::sendOnce(void* self) {
  auto* sender = static_cast<tcpipRealTimeDataSender*>(self);
  const int length = sender->formatSendBuffer();
  if (length >= 1 && length <= kWholeRecordLength && sender->dispenser_) {
    sender->dispenser_->sendMsg(reinterpret_cast<const char*>(sender->sendBuffer_),
                                static_cast<unsigned short>(length));
  }
}

}  // namespace zelor::modules::realTimeData
