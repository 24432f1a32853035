#include <set>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/checks/ptp_common_set_back.h"
#include "rpc_api/moves/ptp_move.h"

// RelJointMovJ, RelMovJUser and RelMovLUser: six offsets (the first four
// used), the user index for the two User commands, then key=integer options.

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr std::size_t kOffsets = 4;
constexpr std::uint8_t kUserPosition = 6;

struct KeyedMove {
  PTPMode mode;
  bool userFrame;              // the user index at position 6, its frame selected at once
  std::uint8_t optionsFrom;    // first position of the keyed options
  const char* allowed[4];      // keys the command takes (null-padded)
};

constexpr KeyedMove kRelJointMovJ{PTPMOVJANGLEINCMode, false, 6, {"SpeedJ", "AccJ", "CP", nullptr}};
constexpr KeyedMove kRelMovJUser{PTPMOVJXYZINCMode, true, 7, {"SpeedJ", "AccJ", "Tool", "CP"}};
constexpr KeyedMove kRelMovLUser{PTPMOVLXYZINCMode, true, 7, {"SpeedL", "AccL", "Tool", "CP"}};

// The user index: digits only, 0 .. 9. -1 for a missing one means "no frame"
// to the loader, and a non-number would read as frame 0.
bool userIndexOf(const std::string& text, int& index) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  index = getInt(text);
  return index < kFrameCount;
}

void runKeyedMove(const KeyedMove& spec, const Args& args, std::string& reply) {
  logArgs(args);
  if (args.size() < kOffsets) {
    reply = errorReply(kCountErrorId);
    RPC_LOG_ERROR("index {} larger than max {} ", args.size(), args.size());
    return;
  }
  if (spec.userFrame && !coordinatesAreNumbers(args, kOffsets, reply)) return;
  const CoordRange ranges[kOffsets] = {kAnyPosition, kAnyPosition, kAnyPosition, kAnyPosition};
  tagPTPCmd move{};
  move.ptpMode = spec.mode;
  // The User commands send nothing before their offsets are checked whole.
  if (spec.userFrame && !readCoordinates(args, kOffsets, ranges, move, reply)) return;

  int user = -1;
  if (spec.userFrame) {
    if (args.size() <= kUserPosition) {
      reply = errorReply(kCountErrorId);
      RPC_LOG_ERROR("index {} larger than max {} ", kUserPosition, args.size());
      return;
    }
    if (!userIndexOf(args[kUserPosition], user)) {
      reply = errorReply(kOptionErrorBase - kUserPosition);
      RPC_LOG_INFO("user[{}] has not been set yet", args[kUserPosition]);
      return;
    }
  }

  OptionMap options;
  std::string mapReply = kDoneReply;
  rpcExecuteApi::Vector2Map(args, options, spec.optionsFrom, mapReply);
  // An option without "=" or with a value that is not an integer stops the
  // move before anything is sent.
  if (mapReply != kDoneReply) {
    reply = mapReply;
    return;
  }
  PTPCommonSetBack params;
  const bool applied = !options.empty();
  if (applied) {
    std::set<std::string> allowed;
    for (const char* key : spec.allowed) {
      if (key != nullptr) allowed.insert(key);
    }
    std::string setReply;
    if (params.set(options, allowed, setReply) != 0) {
      reply = setReply;
      return;
    }
  }
  MoveCp cp;
  // A refused move leaves none of its temporary settings in force.
  const auto putBack = [&] {
    if (applied) params.back();
    cp.restore();
  };
  if (!spec.userFrame &&
      (!coordinatesAreNumbers(args, kOffsets, reply) || !readCoordinates(args, kOffsets, ranges, move, reply))) {
    putBack();
    return;
  }
  if (!cp.apply(args, reply)) {
    putBack();
    return;
  }
  if (spec.userFrame) {
    std::string frameReply;
    if (rpcExecuteApi::LoadSetUserTool(frameReply, user, -1, kUserPosition) != 0) {
      reply = frameReply;
      putBack();
      return;
    }
  }
  const bool queued = queueMove(move);
  const std::array<float, 4> position = positionOf(move);
  RPC_LOG_INFO("{},{},{},{} method:{}", position[0], position[1], position[2], position[3], modeName(spec.mode));
  if (applied) params.back();
  cp.restore();
  reply = queued ? kDoneReply : kFailedReply;
}

}  // namespace

void rpcExecuteApi::RelJointMovJ(const Args& args, std::string& reply) { runKeyedMove(kRelJointMovJ, args, reply); }
void rpcExecuteApi::RelMovJUser(const Args& args, std::string& reply) { runKeyedMove(kRelMovJUser, args, reply); }
void rpcExecuteApi::RelMovLUser(const Args& args, std::string& reply) { runKeyedMove(kRelMovLUser, args, reply); }

}  // namespace zelor::modules::rpcExecuteApis
