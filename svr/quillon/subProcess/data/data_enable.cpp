#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/axes_group_ref.h"
#include "robot_states/robot_states.h"
#include "subProcess/data/data_exchange_limit.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kSignatureEnabled = 0xAB010002u;
constexpr std::uint32_t kEnableBit = 0x200;
constexpr std::uint32_t kBrakeBit = 0x100;
constexpr int kSwitchPolls = 100;
constexpr int kPollLogEvery = 10;
constexpr auto kPollPeriod = std::chrono::milliseconds(10);
// A switch exchange waits at most this long, a poll less; a kernel that
// leaves polls unanswered this many times running is not cycling.
constexpr int kSwitchExchangeUs = 250'000;
constexpr int kPollExchangeUs = 100'000;
constexpr int kUnansweredPolls = 3;
// Hard bound of the polling, whatever the exchanges take.
constexpr auto kPollBound = std::chrono::seconds(3);

void clearBits(std::uint32_t& word, std::uint32_t bits) {
  std::atomic_ref<std::uint32_t>(word).fetch_and(~bits, std::memory_order_relaxed);
}

// First parameter byte of a reply; false when the reply has none.
bool firstByte(const Packet* reply, std::uint8_t& out) {
  if (reply->length < 3) return false;
  out = reply->params[0];
  return true;
}

const char* switchName(std::uint8_t on) { return on != 0 ? "enable" : "disable"; }

}  // namespace

int DataSubProcess::readEnableState() {
  Packet* reply = alloc_GetHHTTrigOutputEnabled();
  if (reply == nullptr) return -1;
  std::uint8_t flag = 1;
  const bool got = firstByte(reply, flag);
  freePluginPacket(reply);
  if (!got) return -1;
  return flag == 0 ? 1 : 0;
}

void DataSubProcess::sendSwitch(std::uint8_t handTeach) {
  if (Packet* reply = alloc_SetHHTTrigOutputEnabled(static_cast<char>(handTeach))) {
    freePluginPacket(reply);
  } else {
    DATA_LOG(kError, "alloc_SetHHTTrigOutputEnabled({}) error", handTeach);
  }
}

std::int32_t DataSubProcess::enabledSeconds() const {
  return std::atomic_ref<const std::int32_t>(runTime_[1]).load();
}

int DataSubProcess::UpdateEnable(std::uint8_t on) {
  on = on != 0 ? 1 : 0;
  int state = 0;
  {
    ExchangeLimit limit(kSwitchExchangeUs);
    state = readEnableState();
  }
  const bool enabled = state == 1;

  if (on == 0 && !enabled) {
    DATA_LOG(kInfo, "ignore this {} cmd.", "disable");
    switchState_ = kSwitchDisabled;
    return 0;
  }

  if (on != 0) {
    signatureHigh_ = 1;
    signatureLow_ = 2;
    if (AxesGroupRef* record = robotData_.load()) {
      std::atomic_ref<std::uint32_t>(record->m_Signature).store(kSignatureEnabled, std::memory_order_relaxed);
      for (int axis = 1; axis < 4; ++axis) clearBits(record->m_Joints[axis].m_ControlWord, kEnableBit);
    }
    if (enabled) {
      DATA_LOG(kInfo, "ignore this {} cmd.", "enable");
      switchState_ = kSwitchEnabled;
      return 1;
    }
  }

  // The kernel's hand-teach flag: 0 hands the drives to motion (enabled).
  bool switched = false;
  {
    ExchangeLimit limit(kSwitchExchangeUs);
    if (Packet* reply = alloc_SetHHTTrigOutputEnabled(static_cast<char>(on != 0 ? 0 : 1))) {
      std::uint8_t flag = 0;
      if (firstByte(reply, flag)) switched = (flag == 0) == (on != 0);
      freePluginPacket(reply);
    } else {
      DATA_LOG(kError, "alloc_SetHHTTrigOutputEnabled({}) error", on != 0 ? 0 : 1);
    }
  }

  if (!switched) {
    const Clock::time_point start = Clock::now();
    int unanswered = 0;
    for (int poll = 1; poll <= kSwitchPolls; ++poll) {
      std::this_thread::sleep_until(start + poll * kPollPeriod);
      int now = 0;
      {
        ExchangeLimit limit(kPollExchangeUs);
        now = readEnableState();
      }
      if (now >= 0 && (now == 1) == (on != 0)) {
        switched = true;
        break;
      }
      unanswered = now < 0 ? unanswered + 1 : 0;
      if (poll % kPollLogEvery == 0) DATA_LOG(kInfo, "{}, wait for switch done ...", switchName(on != 0 ? 0 : 1));
      if (unanswered >= kUnansweredPolls) {
        DATA_LOG(kError, "no reply of the kernel to the enable state, {} given up", switchName(on));
        break;
      }
      if (Clock::now() - start > kPollBound) break;
    }
    if (!switched) {
      ExchangeLimit limit(kSwitchExchangeUs);
      sendSwitch(on);
      return -1;
    }
  }

  RobotStates::Instance().UpdateEnableStatus(on);
  const std::time_t now = std::time(nullptr);
  if (on != 0) {
    enableTime_ = now;
    switchState_ = kSwitchEnabled;
    return 1;
  }
  // Only a recorded enable adds to the enabled time.
  const std::time_t since = enableTime_.exchange(0);
  if (since > 0 && now > since) {
    std::atomic_ref<std::int32_t>(runTime_[1]).fetch_add(static_cast<std::int32_t>(now - since));
  }
  switchState_ = kSwitchDisabled;
  return 0;
}

void DataSubProcess::releaseBrakes34(AxesGroupRef* record) {
  if (record == nullptr) return;
  for (int axis = 2; axis < 4; ++axis) clearBits(record->m_Joints[axis].m_ControlWord, kBrakeBit);
}

void DataSubProcess::leaveDragMode() {
  if (dragMode_.load() != kDragOn) return;
  if (switchState_.load() == kSwitchDisabled) {
    releaseBrakes34(robotData_.load());
  } else if (Packet* reply = alloc_SetDragTeachEnabled(1)) {
    freePluginPacket(reply);
  } else {
    DATA_LOG(kError, "alloc_SetDragTeachEnabled(kAlgsDragDisable) error");
  }
  dragMode_ = kDragOff;
  robotMap::instance().storeWord(robot_map::kDragMode, kDragOff);
}

// Enable-off word from the kernel's state; the switch state once at start.
void DataSubProcess::updateEnableWord() {
  ExchangeLimit limit(kSwitchExchangeUs);
  const int state = readEnableState();
  robotMap::instance().storeWord(robot_map::kIsDisabled, state == 1 ? 0 : 1);
  if (switchState_.load() != kSwitchUnknown) return;
  const int again = readEnableState();
  if (again < 0) DATA_LOG(kError, "alloc_GetHHTTrigOutputEnabled ERROR");
  int expected = kSwitchUnknown;
  switchState_.compare_exchange_strong(expected, again == 1 ? kSwitchEnabled : kSwitchDisabled);
}
