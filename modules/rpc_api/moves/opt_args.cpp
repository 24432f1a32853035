#include <atomic>

#include "common/ipc/robot_map.h"
#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/moves/ptp_move.h"

// The inline options of MovJ, MovL, JointMovJ, RelMovJ and RelMovL: any
// argument holding "SpeedJ=", "SpeedL=", "AccJ=", "AccL=", "User=" or "Tool=".

namespace zelor::modules::rpcExecuteApis {

namespace {

enum class OptionKind { Ratio, User, Tool };

struct OptionKey {
  const char* key;
  OptionKind kind;
  float tagPTPCommonParams::*ratio;
  int min;
  int max;
};

constexpr OptionKey kOptionKeys[] = {
    {"SpeedJ=", OptionKind::Ratio, &tagPTPCommonParams::velocityRatio, 1, 100},
    {"SpeedL=", OptionKind::Ratio, &tagPTPCommonParams::xyzVelocityRatio, 1, 100},
    {"AccJ=", OptionKind::Ratio, &tagPTPCommonParams::accelerationRatio, 1, 100},
    {"AccL=", OptionKind::Ratio, &tagPTPCommonParams::xyzAccelerationRatio, 1, 100},
    {"User=", OptionKind::User, nullptr, 0, kFrameCount - 1},
    {"Tool=", OptionKind::Tool, nullptr, 0, kFrameCount - 1},
};

// Process-local words of the status-memory accessor: current user and tool.
constexpr int kCurrentUserWord = 4;
constexpr int kCurrentToolWord = 5;

std::uint32_t currentIndex(int word) {
  return static_cast<std::uint32_t>(
      std::atomic_ref<std::int32_t>(robotMap::instance().localWord(word)).load(std::memory_order_relaxed));
}

// Runs the User or Tool command with the index unless it is current already.
// False when the frame could not be switched.
bool switchFrame(OptionKind kind, int index, std::uint8_t& changed) {
  const bool user = kind == OptionKind::User;
  if (currentIndex(user ? kCurrentUserWord : kCurrentToolWord) == static_cast<std::uint32_t>(index)) return true;
  std::string frameReply = kDoneReply;
  const Args frameArgs{std::to_string(index)};
  if (user) {
    rpcExecuteApi::User(frameArgs, frameReply);
  } else {
    rpcExecuteApi::Tool(frameArgs, frameReply);
  }
  if (frameReply != kDoneReply) {
    RPC_LOG_ERROR(user ? "Failed to set the user coordinate system" : "Failed to set the tool coordinate system");
    return false;
  }
  changed = 1;
  return true;
}

}  // namespace

int rpcExecuteApi::executeCmdWithOptArgs(const Args& args, tagPTPCmd&, OptParams& options, std::string& reply) {
  options.userChanged = 0;
  options.toolChanged = 0;
  options.anyOption = 0;
  alignas(float) tagPTPCommonParams current{};
  const bool haveParams = GetOldSpeedAndAccel(current);
  if (haveParams) {
    options.cmParams = current;
    options.lastCmParams = current;
  }

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    for (const OptionKey& key : kOptionKeys) {
      if (arg.find(key.key) == std::string::npos) continue;
      options.anyOption = 1;
      const std::vector<std::string> digits = getDigitsFromStr(arg);
      // "SpeedJ=x" is as wrong as "SpeedJ=2.5".
      if (digits.empty()) reply = errorReply(kTypeErrorBase);
      if (digits.empty() || !isInteger(digits, reply)) {
        RPC_LOG_ERROR("the type of params is wrong: {}", reply);
        return 0;
      }
      const int value = getInt(digits.front());
      if (!isParamsRangeOk<int>(value, key.min, key.max, i, reply)) {
        RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
        return 0;
      }
      // Without the kernel's parameters the restore after the move would send
      // zeros, which the kernel refuses: this move's options would stay.
      if (!haveParams) {
        RPC_LOG_INFO("load PTPCommonParams from algs faild !!!!");
        reply = kFailedReply;
        return 0;
      }
      switch (key.kind) {
        case OptionKind::Ratio: {
          // Through an aligned copy: the option record is packed.
          alignas(float) tagPTPCommonParams params = options.cmParams;
          params.*key.ratio = static_cast<float>(value);
          options.cmParams = params;
          break;
        }
        case OptionKind::User:
          options.user = static_cast<std::uint8_t>(value);
          if (!switchFrame(key.kind, value, options.userChanged)) {
            reply = kFailedReply;
            return 0;
          }
          break;
        case OptionKind::Tool:
          options.tool = static_cast<std::uint8_t>(value);
          if (!switchFrame(key.kind, value, options.toolChanged)) {
            reply = kFailedReply;
            return 0;
          }
          break;
      }
    }
  }
  return 1;
}

}  // namespace zelor::modules::rpcExecuteApis
