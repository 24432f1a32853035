#include "common/command/io_handlers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "common/command/command_params.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/packed_cmd_queue.h"

namespace {

constexpr std::uint32_t kRefused = 1;
// Analog channels whose value is known (always 0).
constexpr std::uint32_t kFirstAnalogChannel = 1;
constexpr std::uint32_t kLastAnalogChannel = 2;
// Inputs that the extended read packs into its eight level bytes.
constexpr int kPackedInputs = 64;
constexpr std::size_t kIODIExLevelsAt = offsetof(tagIODIEx, levels);
constexpr std::size_t kIODACExValuesAt = offsetof(tagIODACEx, value);

// The range the last extended reads named: first point (start + 1) and count.
struct IORange {
  std::uint32_t first;
  std::uint32_t count;
};
IORange gIODOExRead{};
IORange gIODACExRead{};

// Whether a digital point numbered from 1 has a byte in the images; logs the
// refusal otherwise.
bool pointInRange(const char* handler, std::uint32_t point) {
  if (point >= 1 && point <= static_cast<std::uint32_t>(kDigitalImageSize)) return true;
  CMD_LOG("Command %s executed...error: address %u outside 1..%d  \r\n", handler, static_cast<unsigned>(point),
          kDigitalImageSize);
  return false;
}

bool isKnownAnalogChannel(std::uint32_t channel) {
  return channel >= kFirstAnalogChannel && channel <= kLastAnalogChannel;
}

std::uint32_t enqueue(PackedBaseCmd& packed) { return EnqueuePackedCmd(packed) ? 0 : kRefused; }

}  // namespace

std::uint32_t OnIOMultiplexing(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t&, bool) { return 0; }
std::uint32_t OnIOADC(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t&, bool) { return 0; }
std::uint32_t OnIOADCEx(tagSysParams*, std::uint8_t, std::uint8_t*, std::uint32_t&, bool) { return 0; }

// Read or write alike: the level the request carries is set.
std::uint32_t OnIODO(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool isQueued) {
  tagIO_DO request;
  if (!TakeRecord(__func__, params, len, request)) return kRefused;
  const std::uint32_t address = request.address;
  if (!pointInRange(__func__, address)) return kRefused;
  if (!isQueued) {
    gPhyDOs[address - 1] = request.level;
    return 0;
  }
  PackedBaseCmd packed{};
  packed.type = kPackedIODO;
  packed.body.ioDO.index = address - 1;
  packed.body.ioDO.level = request.level;
  CMD_LOG("Command OnIODO:%ld, %d\r\n", static_cast<long>(address - 1), request.level);
  return enqueue(packed);
}

std::uint32_t OnIODAC(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool isQueued) {
  if (rw == 0) {
    if (isKnownAnalogChannel(params[0])) std::memset(params + offsetof(tagIODAC, value), 0, sizeof(std::uint16_t));
    return 0;
  }
  tagIODAC request;
  const bool taken = TakeRecord(__func__, params, len, request);
  // Not queued, the write changes nothing and repeats the request.
  if (!isQueued) return taken ? 0 : kRefused;
  len = 0;
  if (!taken) return kRefused;
  PackedBaseCmd packed{};
  packed.type = kPackedIODAC;
  packed.body.ioDAC = request;
  return enqueue(packed);
}

std::uint32_t OnIODI(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t&, bool) {
  tagIO_DI request;
  std::memcpy(&request, params, sizeof request);
  const std::uint32_t address = request.address;
  request.level = pointInRange(__func__, address) ? gPhyDIs[address - 1] : 0;
  std::memcpy(params, &request, sizeof request);
  CMD_LOG("IO_DI address:%d; level:%d\r\n", static_cast<int>(address), request.level);
  return 0;
}

std::uint32_t OnIODOEx(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool isQueued) {
  if (rw == 0) {
    tagIODOEx request;
    std::memcpy(&request, params, sizeof request);
    gIODOExRead = {request.start + 1u, request.count};
    std::memset(params + offsetof(tagIODOEx, levels), 0, sizeof request.levels);
    return 0;
  }
  tagIODOEx request;
  const bool taken = TakeRecord(__func__, params, len, request);
  len = 0;
  if (!taken) return kRefused;
  if (!isQueued) return 0;
  PackedBaseCmd packed{};
  packed.type = kPackedIODOEx;
  packed.body.ioDOEx.first = static_cast<std::uint8_t>(request.start + 1);
  packed.body.ioDOEx.count = request.count;
  packed.body.ioDOEx.levels = static_cast<std::uint32_t>(request.levels[0]) |
                              static_cast<std::uint32_t>(request.levels[1]) << 8 |
                              static_cast<std::uint32_t>(request.levels[2]) << 16;
  return enqueue(packed);
}

// Count 0: inputs 1-64 packed eight to a byte; otherwise the one input the
// index names. The reply keeps the request's length.
std::uint32_t OnIODIEx(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t&, bool) {
  tagIODIEx request;
  std::memcpy(&request, params, sizeof request);
  if (request.count != 0) {
    const std::uint32_t index = request.index;
    params[kIODIExLevelsAt] = pointInRange(__func__, index) ? gPhyDIs[index - 1] : 0;
    return 0;
  }
  tagIODIEx reply{};
  reply.index = 0x00;
  reply.count = kPackedInputs;
  for (int i = 0; i < kPackedInputs; ++i) {
    reply.levels[i >> 3] = static_cast<std::uint8_t>(reply.levels[i >> 3] | gPhyDIs[i] << (i & 7));
  }
  std::memcpy(params, &reply, sizeof reply);
  CMD_LOG("IODI %x %x %x\r\n", reply.levels[0], reply.levels[1], reply.levels[2]);
  return 0;
}

std::uint32_t OnIODACEx(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool isQueued) {
  const std::uint8_t start = params[0];
  const std::uint8_t count = params[1];
  const std::size_t recordLen = kIODACExValuesAt + std::size_t{count} * sizeof(std::uint16_t);
  if (rw == 0) {
    gIODACExRead = {start + 1u, count};
    for (std::uint32_t i = 0; i < count; ++i) {
      if (isKnownAnalogChannel(start + 1u + i)) {
        std::memset(params + kIODACExValuesAt + i * sizeof(std::uint16_t), 0, sizeof(std::uint16_t));
      }
    }
    return 0;
  }
  const std::uint32_t requestLen = len;
  len = 0;
  if (requestLen < recordLen) {
    CMD_LOG("Command %s executed...error: params length %u, need %u  \r\n", __func__,
            static_cast<unsigned>(requestLen), static_cast<unsigned>(recordLen));
    return kRefused;
  }
  if (!isQueued) return 0;
  PackedBaseCmd packed{};
  packed.type = kPackedIODACEx;
  std::memcpy(&packed.body.ioDACEx, params, recordLen);
  return enqueue(packed);
}

// Entries not marked queued are set at once; the marked ones travel in one
// queued entry whatever the packet's queued bit.
std::uint32_t OnMulIODO(tagSysParams*, std::uint8_t, std::uint8_t* params, std::uint32_t& len, bool) {
  PackedBaseCmd packed{};
  Group_IO_DO& group = packed.body.mulIODO;
  if (!TakeRecord(__func__, params, len, group)) return kRefused;
  const std::uint32_t requested = group.count;
  CMD_LOG("This is OnMulIODO,size: %d  \r\n", static_cast<int>(requested));
  const std::uint32_t count = std::min<std::uint32_t>(requested, kGroupDOEntries);
  if (requested > count) {
    CMD_LOG("Command %s executed...error: count %u above %d, %d read  \r\n", __func__,
            static_cast<unsigned>(requested), kGroupDOEntries, kGroupDOEntries);
  }
  bool anyQueued = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const tagGroupDO item = group.DO[i];
    // An entry marked queued keeps the group queued even when its address is
    // refused here: the execution checks it again and skips it.
    anyQueued = anyQueued || item.isQueued != 0;
    if (!pointInRange(__func__, item.address)) continue;
    if (item.isQueued == 0) {
      gPhyDOs[item.address - 1] = item.level;
      CMD_LOG("OnMulIODO(not queue) gPhyDOs[%d]:%d \r\n", static_cast<int>(item.address - 1),
              gPhyDOs[item.address - 1]);
    } else {
      CMD_LOG("OnMulIODO groupDO.DO[%d] is Queue \r\n", static_cast<int>(i));
    }
  }
  if (!anyQueued) return 0;
  packed.type = kPackedMulIODO;
  if (!EnqueuePackedCmd(packed)) return kRefused;
  CMD_LOG("OnMulIODO RingBufferEnqueue \r\n");
  return 0;
}
