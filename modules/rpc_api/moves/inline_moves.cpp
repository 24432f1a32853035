#include <array>

#include "exchange/command_lock.h"
#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/moves/joint_limits.h"
#include "rpc_api/moves/ptp_move.h"

// MovJ, MovL, JointMovJ, RelMovJ and RelMovL: coordinates first, options
// ("SpeedJ=50", "CP=30", ...) anywhere. The options, the CP ratio and a frame
// switched for the move are queued back right behind it.

namespace zelor::modules::rpcExecuteApis {

namespace {

struct InlineMove {
  const char* log;  // the move's line, with its values and mode name
  PTPMode mode;
  std::size_t coordinates;  // read; the others are sent as 0
  bool frames;              // the user and tool frames saved and put back
  bool jointLimits;         // ranges from the project's joint limits
};

constexpr InlineMove kMovJ{"[MovJ]:{},{},{},{}  method:{}", PTPMOVJXYZMode, 4, true, false};
constexpr InlineMove kMovL{"[MovL]:{},{},{},{}  method:{}", PTPMOVLXYZMode, 4, true, false};
constexpr InlineMove kJointMovJ{"[JointMovJ]:{},{},{},{}  method:{}", PTPMOVJANGLEMode, 4, false, true};
constexpr InlineMove kRelMovJ{"[RelMovJ]:{},{},{},{}  method:{}", PTPMOVJANGLEINCMode, 4, false, false};
constexpr InlineMove kRelMovL{"[RelMovL]:{},{},{},{}  method:{}", PTPMOVLXYZINCMode, 3, false, false};

void runInlineMove(const InlineMove& kind, const Args& args, std::string& reply) {
  logArgs(args);
  if (args.size() < kind.coordinates) {
    reply = errorReply(kCountErrorId);
    RPC_LOG_ERROR("The number of params is wrong: {}", reply);
    return;
  }
  if (!coordinatesAreNumbers(args, kind.coordinates, reply)) return;

  OptParams options{};
  tagPTPCmd move{};
  move.ptpMode = kind.mode;
  const std::array<CoordRange, 4> ranges =
      kind.jointLimits ? projectJointLimits() : std::array<CoordRange, 4>{kAnyPosition, kAnyPosition, kAnyPosition,
                                                                          kAnyPosition};
  if (!readCoordinates(args, kind.coordinates, ranges.data(), move, reply)) return;
  const std::array<float, 4> position = positionOf(move);
  RPC_LOG_INFO(kind.log, position[0], position[1], position[2], position[3], modeName(kind.mode));

  // From the first read to the last restore no packet of the other port
  // lands in between: the move runs with its own options and frames only.
  const interface::CommandHold hold;
  tagCoordParamsFull tempUser{};
  tagCoordParamsFull tempTool{};
  if (kind.frames) {
    // Nothing is sent yet: the move is refused as it stands.
    if (!rpcExecuteApi::GetOverAllUser(tempUser)) {
      RPC_LOG_ERROR("Get Global User Error");
      reply = kFailedReply;
      return;
    }
    if (!rpcExecuteApi::GetOverAllTool(tempTool)) {
      RPC_LOG_ERROR("Get Global Tool Error");
      reply = kFailedReply;
      return;
    }
  }
  const auto restoreFrames = [&] {
    if (!kind.frames) return;
    restoreStep("user frame", [&] { return rpcExecuteApi::RecoverAllUser(tempUser); });
    restoreStep("tool frame", [&] { return rpcExecuteApi::RecoverAllTool(tempTool); });
  };

  if (rpcExecuteApi::executeCmdWithOptArgs(args, move, options, reply) == 0) {
    RPC_LOG_ERROR("Motion args is illegal");
    restoreFrames();
    return;
  }
  MoveCp cp;
  if (!cp.apply(args, reply)) {
    restoreFrames();
    return;
  }
  // A move whose options did not reach the queue would run with whatever
  // is in force: it is not sent.
  if (options.anyOption == 1 &&
      !queueCommonParams(options.cmParams, "alloc_SetPTPCommonParams(&optParams.cmParams, 1) error ,pack is nullptr")) {
    reply = kFailedReply;
    cp.restore();
    restoreFrames();
    return;
  }
  const bool queued = queueMove(move);
  if (options.anyOption == 1) {
    restoreStep("common params", [&] {
      return queueCommonParams(options.lastCmParams,
                               "alloc_SetPTPCommonParams(&optParams.lastCmParams, 1) error ,pack is nullptr");
    });
  }
  // A move that never reached the queue is not reported as queued; what was
  // changed for it is put back all the same.
  if (!queued) reply = kFailedReply;
  cp.restore();
  restoreFrames();
}

}  // namespace

void rpcExecuteApi::MovJ(const Args& args, std::string& reply) { runInlineMove(kMovJ, args, reply); }
void rpcExecuteApi::MovL(const Args& args, std::string& reply) { runInlineMove(kMovL, args, reply); }
void rpcExecuteApi::JointMovJ(const Args& args, std::string& reply) { runInlineMove(kJointMovJ, args, reply); }
void rpcExecuteApi::RelMovJ(const Args& args, std::string& reply) { runInlineMove(kRelMovJ, args, reply); }
void rpcExecuteApi::RelMovL(const Args& args, std::string& reply) { runInlineMove(kRelMovL, args, reply); }

}  // namespace zelor::modules::rpcExecuteApis
