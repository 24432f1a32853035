#include "common/command/exter_axis_handlers.h"

#include <cstring>

#include "common/command/command_params.h"
#include "common/links/exter_axis_rtu.h"

namespace {

constexpr std::uint32_t kRefused = 1;

// Operations of the external axis.
enum ExterAxisOp : std::uint32_t {
  kOpEStop = 3,
  kOpZeroPos = 5,
  kOpJog = 6,
  kOpInch = 7,
  kOpPosition = 8,
  kOpSpeed = 9,
  kOpAccel = 10,
  kOpGetPosition = 13,
  kOpGetAlarm = 14,
  kOpGetReady = 15,
  kOpGetCmdIndex = 16,
  kOpGetCmdAllDone = 17,
  kOpStop = 18,
  kOpPause = 19,
  kOpContinue = 20,
  kOpRate = 21,
  kOpReload = 22,
};

// The part of the request the handler reads: operation and value.
#pragma pack(push, 1)
struct ExterAxisRequest {
  std::uint32_t cmd;
  std::uint32_t value;
};
struct ExterAxisReply {
  std::uint32_t index;
  std::int32_t result;
};
#pragma pack(pop)
static_assert(sizeof(ExterAxisRequest) == 8);
static_assert(sizeof(ExterAxisReply) == 8);

std::int32_t asInt(std::uint32_t bits) {
  std::int32_t value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
float asFloat(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Calls the link for a write operation; -1 without a call for any other.
std::int32_t command(const ExterAxisRequest& request, std::uint32_t& index) {
  namespace rtu = ExterAxisRTU;
  switch (request.cmd) {
    case kOpEStop: return rtu::setEStop(asInt(request.value), &index);
    case kOpZeroPos: return rtu::setZeroPos(&index);
    case kOpJog: return rtu::setJog(asInt(request.value), &index);
    case kOpInch: return rtu::setInch(asFloat(request.value), &index);
    case kOpPosition: return rtu::setPosition(asFloat(request.value), &index);
    case kOpSpeed: return rtu::setSpeed(asFloat(request.value), &index);
    case kOpAccel: return rtu::setAccel(asFloat(request.value), &index);
    case kOpStop: return rtu::setStop(asInt(request.value), &index);
    case kOpPause: return rtu::setPause(asInt(request.value), &index);
    case kOpContinue: return rtu::setContinue(asInt(request.value), &index);
    case kOpRate: return rtu::setRate(asFloat(request.value), &index);
    case kOpReload: return rtu::setReload(&index);
    default: index = 0; return -1;
  }
}

template <typename Value>
void replyValue(const Value& value, std::int32_t result, std::size_t resultAt, std::uint8_t* params,
                std::uint32_t& len) {
  std::memset(params, 0, resultAt + sizeof result);
  std::memcpy(params, &value, sizeof value);
  std::memcpy(params + resultAt, &result, sizeof result);
  len = static_cast<std::uint32_t>(resultAt + sizeof result);
}

void query(std::uint32_t op, std::uint8_t* params, std::uint32_t& len) {
  switch (op) {
    case kOpGetPosition: {
      float position = 0.0f;
      const int result = ExterAxisRTU::getPosition(&position);
      replyValue(position, result, 4, params, len);
      return;
    }
    case kOpGetAlarm: {
      std::uint16_t words[2] = {};
      const int result = ExterAxisRTU::getAlarm(words);
      replyValue(words, result, 4, params, len);
      return;
    }
    case kOpGetReady: {
      int ready = 0;
      const int result = ExterAxisRTU::getReady(&ready);
      replyValue(static_cast<std::int32_t>(ready), result, 4, params, len);
      return;
    }
    case kOpGetCmdIndex: {
      std::uint32_t index = 0;
      const int result = ExterAxisRTU::getCmdIndex(&index);
      replyValue(index, result, 4, params, len);
      return;
    }
    case kOpGetCmdAllDone: {
      bool done = false;
      const int result = ExterAxisRTU::getCmdAllDone(&done);
      replyValue(static_cast<std::uint8_t>(done ? 1 : 0), result, 1, params, len);
      return;
    }
    default:
      len = 0;
      return;
  }
}

}  // namespace

std::uint32_t OnExterAxisCmd(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  if (rw == 0) {
    std::uint32_t op = 0;
    if (len >= sizeof op) std::memcpy(&op, params, sizeof op);
    query(op, params, len);
    return 0;
  }
  ExterAxisRequest request{};
  ExterAxisReply reply{0, -1};
  const bool taken = TakeRecord(__func__, params, len, request);
  if (taken) reply.result = command(request, reply.index);
  ReplyRecord(reply, params, len);
  return taken ? 0 : kRefused;
}
