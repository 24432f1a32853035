#include "common/command/motion_cmd_handlers.h"

#include <algorithm>
#include <cstddef>

#include "common/command/command_params.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/packed_cmd_queue.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr std::uint8_t kPTPModeCount = 9;  // modes 0..8
constexpr std::uint32_t kRefused = 1;
// The parallel outputs follow the move record and their count byte.
constexpr std::size_t kParallelCountAt = sizeof(tagPTPCmd);
constexpr std::size_t kParallelOutputsAt = kParallelCountAt + 1;

// The motion parameters in force, in the order of a point-to-point entry.
void snapshot(const tagSysParams& sys, PackedPTPBody& body) {
  body.armOrientation = sys.armOrientation;
  body.transition = sys.transition;
  body.ptpParams = sys.ptpParams;
  body.localParams = sys.localParams;
  body.toolParams = sys.toolParams;
  body.ecpParams = sys.ecpParams;
  body.refSysFlag = sys.refSysFlag;
  body.eCPFlag = sys.eCPFlag;
  body.loadFlag = sys.loadFlag;
  body.loadParams = sys.loadParams;
  body.loadFullParams = sys.loadFullParams;
}

// The same for arcs and circles, in their own order.
template <typename Move>
void snapshot(const tagSysParams& sys, PackedArcBodyOf<Move>& body) {
  body.armOrientation = sys.armOrientation;
  body.transition = sys.transition;
  body.ptpParams = sys.ptpParams;
  body.localParams = sys.localParams;
  body.toolParams = sys.toolParams;
  body.eCPFlag = sys.eCPFlag;
  body.refSysFlag = sys.refSysFlag;
  body.ecpParams = sys.ecpParams;
  body.loadFlag = sys.loadFlag;
  body.loadParams = sys.loadParams;
  body.loadFullParams = sys.loadFullParams;
}

void logFrame(const char* format, const tagCoordParamsFull& frame) {
  CMD_LOG(format, static_cast<double>(frame.x), static_cast<double>(frame.y), static_cast<double>(frame.z),
          static_cast<double>(frame.r));
}

// The mode, index and target lines of a point-to-point move, in the wording
// of its command.
void logPTPMove(const char* modeFormat, const char* targetFormat, const PackedBaseCmd& packed) {
  const PackedPTPBody& ptp = packed.body.ptp;
  CMD_LOG(modeFormat, ptp.cmd.ptpMode, static_cast<int>(packed.queuedCmdIndex));
  CMD_LOG(targetFormat, static_cast<double>(ptp.cmd.x), static_cast<double>(ptp.cmd.y), static_cast<double>(ptp.cmd.z),
          static_cast<double>(ptp.cmd.r), static_cast<int>(ptp.armOrientation), ptp.transition);
}

// A move whose target is not a number would reach the planners and the drives.
bool targetFinite(const char* handler, const tagPTPCmd& move) {
  return FloatsFinite(handler, &move, offsetof(tagPTPCmd, x), 4);
}

// The point-to-point entry of ids 84 and 88, not yet queued; false when the
// request cannot be taken.
bool packPTP(const char* handler, const tagSysParams& sys, const std::uint8_t* params, std::uint32_t len,
             PackedBaseCmd& packed) {
  tagPTPCmd move;
  if (!TakeRecord(handler, params, len, move) || !targetFinite(handler, move)) return false;
  packed.type = kPackedPTP;
  packed.queuedCmdIndex = NextQueuedCmdIndex();
  snapshot(sys, packed.body.ptp);
  packed.body.ptp.cmd = move;
  return true;
}

bool modeValid(std::uint8_t mode) {
  if (mode < kPTPModeCount) return true;
  CMD_LOG("!!!!!!!!PTP Mode error:%d\r\n", mode);
  return false;
}

// Only a queued request is taken: false without the queued bit. Every reply
// has length 0; `requestLen` is what the request carried.
bool takeQueued(std::uint32_t& len, bool isQueued, std::uint32_t& requestLen) {
  requestLen = len;
  len = 0;
  return isQueued;
}

std::uint32_t enqueue(PackedBaseCmd& packed) { return EnqueuePackedCmd(packed) ? 0 : kRefused; }

// An excitation entry: the point-to-point block, then the trajectory's
// settings, all finite.
template <typename Body>
bool packExcitation(const char* handler, const tagSysParams& sys, PackedCmdType type, const std::uint8_t* params,
                    std::uint32_t len, PackedBaseCmd& packed, Body& body) {
  if (!TakeRecord(handler, params, len, body.cmd) || !AllFloatsFinite(handler, body.cmd)) return false;
  packed.type = type;
  body.ptpParams = sys.ptpParams;
  return true;
}

}  // namespace

std::uint32_t OnPTPCmd(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool isQueued) {
  std::uint32_t requestLen = 0;
  if (!takeQueued(len, isQueued, requestLen)) return 0;
  PackedBaseCmd packed{};
  if (!packPTP(__func__, *sysParams, params, requestLen, packed)) return kRefused;
  const PackedPTPBody& ptp = packed.body.ptp;
  logPTPMove("Command OnPTPCmd ptpMode:%d, queuedCmdIndex:%d \r\n",
             "Command OnPTPCmd xyzr:%1.5lf %1.5lf %1.5lf %1.5lf arm %d trans %d\r\n", packed);
  logFrame("Command OnPTPCmd user:%1.3f %1.3f %1.3f %1.3f\r\n", ptp.localParams);
  logFrame("Command OnPTPCmd tool:%1.3f %1.3f %1.3f %1.3f\r\n", ptp.toolParams);
  logFrame("Command OnPTPCmd stationToolParams:%1.3f %1.3f %1.3f %1.3f\r\n", ptp.ecpParams);
  CMD_LOG("Command OnPTPCmd eCPFlag:%u refSysFlag:%u loadFlag%u poFlag%u\r\n", ptp.eCPFlag, ptp.refSysFlag,
          ptp.loadFlag, ptp.parallel.poFlag);
  if (!modeValid(ptp.cmd.ptpMode)) return kRefused;
  return enqueue(packed);
}

std::uint32_t OnPTPPOCmd(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len,
                         bool isQueued) {
  std::uint32_t requestLen = 0;
  if (!takeQueued(len, isQueued, requestLen)) return 0;
  PackedBaseCmd packed{};
  if (!packPTP(__func__, *sysParams, params, requestLen, packed)) return kRefused;
  PackedPTPBody& ptp = packed.body.ptp;
  const std::uint8_t count =
      std::min<std::uint8_t>(requestLen > kParallelCountAt ? params[kParallelCountAt] : 0, kMaxPackedParallelOutputs);
  const std::size_t outputsLen = count * sizeof(tagParallelOutputCmd);
  if (requestLen < kParallelOutputsAt + outputsLen) {
    CMD_LOG("Command %s executed...error: params length %u, need %u  \r\n", __func__, static_cast<unsigned>(requestLen),
            static_cast<unsigned>(kParallelOutputsAt + outputsLen));
    return kRefused;
  }
  ptp.parallel.poFlag = 1;
  ptp.parallel.count = count;
  std::memcpy(ptp.parallel.outputs, params + kParallelOutputsAt, outputsLen);

  logPTPMove("packedCmd.cmd.ptpMode:%d, queuedCmdIndex:%d \r\n", "ptp:%1.5lf %1.5lf %1.5lf %1.5lf arm %d trans %d\r\n",
             packed);
  logFrame("COORTest cmdCOOR:%1.3f %1.3f %1.3f %1.3f\r\n", ptp.localParams);
  logFrame("COORTest cmdtool:%1.3f %1.3f %1.3f %1.3f\r\n", ptp.toolParams);
  if (!modeValid(ptp.cmd.ptpMode) || enqueue(packed) != 0) return kRefused;

  CMD_LOG("parallelCmdCount:%d \r\n", count);
  for (int i = 0; i < count; ++i) {
    const tagParallelOutputCmd& output = ptp.parallel.outputs[i];
    CMD_LOG("poCmd[%d],ratio:%d,address:%u,level:%d   \r\n", i, output.ratio, static_cast<unsigned>(output.address),
            output.level);
  }
  return 0;
}

std::uint32_t OnARCCmd(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool isQueued) {
  std::uint32_t requestLen = 0;
  if (!takeQueued(len, isQueued, requestLen)) return 0;
  PackedBaseCmd packed{};
  PackedARCBody& arc = packed.body.arc;
  if (!TakeRecord(__func__, params, requestLen, arc.cmd) || !AllFloatsFinite(__func__, arc.cmd)) {
    return kRefused;
  }
  packed.type = kPackedARC;
  snapshot(*sysParams, arc);
  const tagARCCmd& move = arc.cmd;
  CMD_LOG("test ptp arc cir : %1.5lf %1.5lf %1.5lf %1.5lf to : %1.5lf %1.5lf %1.5lf %1.5lf arm %d trans %d\r\n",
          static_cast<double>(move.cirPoint.x), static_cast<double>(move.cirPoint.y),
          static_cast<double>(move.cirPoint.z), static_cast<double>(move.cirPoint.r),
          static_cast<double>(move.toPoint.x), static_cast<double>(move.toPoint.y), static_cast<double>(move.toPoint.z),
          static_cast<double>(move.toPoint.r), static_cast<int>(arc.armOrientation), arc.transition);
  logFrame("test cmdCOOR:%1.3f %1.3f %1.3f %1.3f\r\n", arc.localParams);
  logFrame("test cmdtool:%1.3f %1.3f %1.3f %1.3f\r\n", arc.toolParams);
  return enqueue(packed);
}

std::uint32_t OnCircleCmd(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len,
                          bool isQueued) {
  std::uint32_t requestLen = 0;
  if (!takeQueued(len, isQueued, requestLen)) return 0;
  PackedBaseCmd packed{};
  PackedCircleBody& circle = packed.body.circle;
  if (!TakeRecord(__func__, params, requestLen, circle.cmd) ||
      !FloatsFinite(__func__, &circle.cmd, 0, offsetof(tagCircleCmd, count) / sizeof(float))) {
    return kRefused;
  }
  packed.type = kPackedCircle;
  snapshot(*sysParams, circle);
  return enqueue(packed);
}

std::uint32_t OnExicitCmd(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len,
                          bool isQueued) {
  std::uint32_t requestLen = 0;
  if (!takeQueued(len, isQueued, requestLen)) return 0;
  PackedBaseCmd packed{};
  PackedExcitBody& excit = packed.body.excit;
  if (!packExcitation(__func__, *sysParams, kPackedExcit, params, requestLen, packed, excit)) return kRefused;
  const float* p = excit.cmd.params;
  CMD_LOG("Command OnExicitCmd:%1.3f %1.3f %1.3f %1.3f %1.3f %1.3f\r\n", static_cast<double>(p[0]),
          static_cast<double>(p[1]), static_cast<double>(p[2]), static_cast<double>(p[3]), static_cast<double>(p[4]),
          static_cast<double>(p[5]));
  return enqueue(packed);
}

std::uint32_t OnExicitZCmd(tagSysParams* sysParams, std::uint8_t, std::uint8_t* params, std::uint32_t& len,
                           bool isQueued) {
  std::uint32_t requestLen = 0;
  if (!takeQueued(len, isQueued, requestLen)) return 0;
  PackedBaseCmd packed{};
  PackedExcitZBody& excit = packed.body.excitZ;
  if (!packExcitation(__func__, *sysParams, kPackedExcitZ, params, requestLen, packed, excit)) {
    return kRefused;
  }
  const float* p = excit.cmd.params;
  CMD_LOG("Command OnExicitCmd:%1.3f %1.3f %1.3f\r\n", static_cast<double>(p[0]), static_cast<double>(p[1]),
          static_cast<double>(p[2]));
  return enqueue(packed);
}

std::uint32_t OnWAITCmd(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool isQueued) {
  std::uint32_t requestLen = 0;
  if (!takeQueued(len, isQueued, requestLen)) return 0;
  PackedBaseCmd packed{};
  if (!TakeRecord(__func__, params, requestLen, packed.body.wait)) return kRefused;
  packed.type = kPackedWait;
  if (enqueue(packed) != 0) return kRefused;
  CMD_LOG("Command OnWAITCmd:%llu\r\n", static_cast<unsigned long long>(packed.queuedCmdIndex));
  return 0;
}

std::uint32_t OnTRIGCmd(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool isQueued) {
  std::uint32_t requestLen = 0;
  if (!takeQueued(len, isQueued, requestLen)) return 0;
  PackedBaseCmd packed{};
  if (!TakeRecord(__func__, params, requestLen, packed.body.trig)) return kRefused;
  packed.type = kPackedTrig;
  return enqueue(packed);
}
