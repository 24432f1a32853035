#include <set>

#include "exchange/command_lock.h"
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
  bool userFrame;            // the user index at position 6, its frame selected at once
  std::uint8_t optionsFrom;  // first position of the keyed options
  const char* allowed[4];    // keys the command takes (null-padded)
};

constexpr KeyedMove kRelJointMovJ{PTPMOVJANGLEINCMode, false, 6, {"SpeedJ", "AccJ", "CP", nullptr}};
constexpr KeyedMove kRelMovJUser{PTPMOVJXYZINCMode, true, 7, {"SpeedJ", "AccJ", "Tool", "CP"}};
constexpr KeyedMove kRelMovLUser{PTPMOVLXYZINCMode, true, 7, {"SpeedL", "AccL", "Tool", "CP"}};

// The user index: digits only, 0 .. 9. To the frame loader -1 means "leave
// the frame", which would run the move in whatever frame is current, and a
// non-number would read as frame 0.
bool userIndexOf(const std::string& text, int& index) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  index = getInt(text);
  return index < kFrameCount;
}

void runKeyedMove(const KeyedMove& kind, const Args& args, std::string& reply) {
  logArgs(args);
  if (args.size() < kOffsets) {
    reply = errorReply(kCountErrorId);
    RPC_LOG_ERROR("index {} larger than max {} ", args.size(), args.size());
    return;
  }
  if (kind.userFrame && !coordinatesAreNumbers(args, kOffsets, reply)) return;
  const CoordRange ranges[kOffsets] = {kAnyPosition, kAnyPosition, kAnyPosition, kAnyPosition};
  tagPTPCmd move{};
  move.ptpMode = kind.mode;
  // The User commands send nothing before their offsets are checked whole.
  if (kind.userFrame && !readCoordinates(args, kOffsets, ranges, move, reply)) return;

  int user = -1;
  if (kind.userFrame) {
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
  rpcExecuteApi::Vector2Map(args, options, kind.optionsFrom, mapReply);
  // An option without "=" or with a value that is not an integer stops the
  // move before anything is sent.
  if (mapReply != kDoneReply) {
    reply = mapReply;
    return;
  }
  // The temporary settings, the move and their restore stay together.
  const interface::CommandHold hold;
  PTPCommonSetBack params;
  const bool applied = !options.empty();
  if (applied) {
    std::set<std::string> allowed;
    for (const char* key : kind.allowed) {
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
    if (applied) restoreStep("common params", [&] { return params.back() == 0; });
    cp.restore();
  };
  if (!kind.userFrame &&
      (!coordinatesAreNumbers(args, kOffsets, reply) || !readCoordinates(args, kOffsets, ranges, move, reply))) {
    putBack();
    return;
  }
  if (!cp.apply(args, reply)) {
    putBack();
    return;
  }
  if (kind.userFrame) {
    std::string frameReply;
    if (rpcExecuteApi::LoadSetUserTool(frameReply, user, -1, kUserPosition) != 0) {
      reply = frameReply;
      putBack();
      return;
    }
  }
  const bool queued = queueMove(move);
  const std::array<float, 4> position = positionOf(move);
  RPC_LOG_INFO("{},{},{},{} method:{}", position[0], position[1], position[2], position[3], modeName(kind.mode));
  putBack();
  reply = queued ? kDoneReply : kFailedReply;
}

}  // namespace

void rpcExecuteApi::RelJointMovJ(const Args& args, std::string& reply) { runKeyedMove(kRelJointMovJ, args, reply); }
void rpcExecuteApi::RelMovJUser(const Args& args, std::string& reply) { runKeyedMove(kRelMovJUser, args, reply); }
void rpcExecuteApi::RelMovLUser(const Args& args, std::string& reply) { runKeyedMove(kRelMovLUser, args, reply); }

}  // namespace zelor::modules::rpcExecuteApis
