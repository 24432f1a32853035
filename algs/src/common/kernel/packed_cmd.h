#pragma once

#include <cstddef>
#include <cstdint>

#include "common/kinematics/pose_records.h"
#include "common/protocol/command_records.h"
#include "common/kernel/sys_params.h"

// A queued command as the command handlers pack it into gPackedCmdQueue and
// the pre-processing and execution read it back: 2048 bytes, packed,
// little-endian. Handlers build it in a zero-filled buffer; `type` is
// compared as a whole word.

// What a queued entry is.
enum PackedCmdType : std::uint32_t {
  kPackedParamPlaceholder = 0,  // keeps queue indices consecutive, no body
  kPackedPTP = 2,
  kPackedARC = 4,
  kPackedCircle = 5,
  kPackedWait = 6,
  kPackedTrig = 7,
  kPackedIODO = 8,
  kPackedIODAC = 9,
  kPackedIODOEx = 12,
  kPackedIODACEx = 13,
  kPackedStopSynCnv = 14,
  kPackedExcit = 15,
  kPackedExcitZ = 16,
  kPackedMulIODO = 17,
  kPackedLocalParams = 18,
  kPackedToolParams = 19,
};

inline constexpr std::size_t kPackedCmdSize = 2048;
inline constexpr std::size_t kPackedCmdHeaderSize = 16;
inline constexpr std::size_t kPackedCmdBodySize = kPackedCmdSize - kPackedCmdHeaderSize;
inline constexpr int kMaxPackedParallelOutputs = 8;

#pragma pack(push, 1)

// Outputs switched along a point-to-point move (id 88); all zero for id 84.
struct PackedParallelOutputs {
  std::uint8_t poFlag;
  std::uint8_t count;  // <= 8
  std::uint8_t done[kMaxPackedParallelOutputs];
  tagParallelOutputCmd outputs[kMaxPackedParallelOutputs];
};
static_assert(sizeof(PackedParallelOutputs) == 202);

// Type 2: point-to-point move with the motion parameters in force when it was taken in.
struct PackedPTPBody {
  std::uint32_t armOrientation;
  std::uint8_t transition;  // <= 100
  tagPTPParamsBlock ptpParams;
  tagLocalParams localParams;
  tagToolParams toolParams;
  tagToolParams ecpParams;
  PackedParallelOutputs parallel;
  std::uint8_t refSysFlag;
  std::uint8_t eCPFlag;
  std::uint8_t loadFlag;
  _stLoadParams loadParams;
  _stLoadFullParams loadFullParams;
  tagPTPCmd cmd;
};

// Types 4 (arc) and 5 (circle): the same snapshot in another order, no outputs.
template <typename Move>
struct PackedArcBodyOf {
  std::uint32_t armOrientation;
  std::uint8_t transition;
  tagPTPParamsBlock ptpParams;
  tagLocalParams localParams;
  tagToolParams toolParams;
  std::uint8_t eCPFlag;
  std::uint8_t refSysFlag;
  tagToolParams ecpParams;
  std::uint8_t loadFlag;
  _stLoadParams loadParams;
  _stLoadFullParams loadFullParams;
  Move cmd;
};
using PackedARCBody = PackedArcBodyOf<tagARCCmd>;
using PackedCircleBody = PackedArcBodyOf<tagCircleCmd>;

// Type 8: one digital output, zero-based index.
struct PackedIODOBody {
  std::uint32_t index;
  std::uint8_t level;
};

// Type 12: a run of extended digital outputs.
struct PackedIODOExBody {
  std::uint8_t first;  // start + 1
  std::uint8_t count;
  std::uint32_t levels;  // 24-bit field
};

// Type 13: a run of extended analog outputs.
struct PackedIODACExBody {
  std::uint8_t start;
  std::uint8_t count;
  std::uint16_t value[255];
};

// Types 15 and 16: excitation trajectories.
struct PackedExcitBody {
  tagPTPParamsBlock ptpParams;
  tagExcitCmd cmd;
};
struct PackedExcitZBody {
  tagPTPParamsBlock ptpParams;
  tagExcitCmdZ cmd;
};

struct PackedBaseCmd {
  std::uint32_t type;  // PackedCmdType
  std::uint32_t reserved;
  // The ring's enqueued total + 1 at packing time: the index the client gets.
  std::uint64_t queuedCmdIndex;
  union {
    std::uint8_t bytes[kPackedCmdBodySize];
    PackedPTPBody ptp;
    PackedARCBody arc;
    PackedCircleBody circle;
    tagWAITCmd wait;
    tagTRIGCmd trig;
    PackedIODOBody ioDO;
    tagIODAC ioDAC;
    PackedIODOExBody ioDOEx;
    PackedIODACExBody ioDACEx;
    PackedExcitBody excit;
    PackedExcitZBody excitZ;
    Group_IO_DO mulIODO;
    tagLocalParams localParams;
    tagToolParams toolParams;
  } body;
};

#pragma pack(pop)

static_assert(sizeof(PackedBaseCmd) == kPackedCmdSize);
static_assert(offsetof(PackedBaseCmd, reserved) == 4);
static_assert(offsetof(PackedBaseCmd, queuedCmdIndex) == 8);
static_assert(offsetof(PackedBaseCmd, body) == kPackedCmdHeaderSize);

// Absolute offsets inside the 2048-byte entry, as the readers rely on them.
#define ZELOR_PACKED_AT(body, field) (kPackedCmdHeaderSize + offsetof(body, field))

static_assert(ZELOR_PACKED_AT(PackedPTPBody, armOrientation) == 16);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, transition) == 20);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, ptpParams) == 21);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, ptpParams.coordinate) == 69);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, ptpParams.jump) == 93);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, ptpParams.jump2) == 105);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, ptpParams.common) == 117);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, localParams) == 153);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, toolParams) == 173);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, ecpParams) == 193);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, parallel) == 213);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, parallel.count) == 214);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, parallel.done) == 215);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, parallel.outputs) == 223);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, refSysFlag) == 415);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, eCPFlag) == 416);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, loadFlag) == 417);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, loadParams) == 418);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, loadFullParams) == 434);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, cmd) == 458);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, cmd.x) == 459);
static_assert(ZELOR_PACKED_AT(PackedPTPBody, cmd.r) == 471);

static_assert(ZELOR_PACKED_AT(PackedARCBody, localParams) == 153);
static_assert(ZELOR_PACKED_AT(PackedARCBody, toolParams) == 173);
static_assert(ZELOR_PACKED_AT(PackedARCBody, eCPFlag) == 193);
static_assert(ZELOR_PACKED_AT(PackedARCBody, refSysFlag) == 194);
static_assert(ZELOR_PACKED_AT(PackedARCBody, ecpParams) == 195);
static_assert(ZELOR_PACKED_AT(PackedARCBody, loadFlag) == 215);
static_assert(ZELOR_PACKED_AT(PackedARCBody, loadParams) == 216);
static_assert(ZELOR_PACKED_AT(PackedARCBody, loadFullParams) == 232);
static_assert(ZELOR_PACKED_AT(PackedARCBody, cmd) == 256);
static_assert(ZELOR_PACKED_AT(PackedCircleBody, cmd) == 256);
static_assert(ZELOR_PACKED_AT(PackedCircleBody, cmd.count) == 288);

static_assert(ZELOR_PACKED_AT(PackedIODOBody, level) == 20);
static_assert(ZELOR_PACKED_AT(PackedIODOExBody, levels) == 18);
static_assert(ZELOR_PACKED_AT(PackedExcitBody, cmd) == 148);
static_assert(offsetof(PackedBaseCmd, body) + offsetof(Group_IO_DO, count) == 528);
static_assert(offsetof(PackedBaseCmd, body) + sizeof(tagTRIGCmd) == 21);

#undef ZELOR_PACKED_AT

// The ten words carried unchanged for the planners: load then full load.
inline constexpr std::size_t kPTPPlannerWordsAt = 418;
inline constexpr std::size_t kArcPlannerWordsAt = 216;
inline constexpr std::size_t kPlannerWordCount = 10;
static_assert(sizeof(_stLoadParams) + sizeof(_stLoadFullParams) == kPlannerWordCount * 4);
