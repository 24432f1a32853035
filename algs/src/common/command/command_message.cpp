#include "common/command/command_message.h"

#include <cstring>

#include "common/kernel/core_interface.h"

namespace {

constexpr std::uint8_t kLengthFieldBytes = 2;  // the length field counts id and control byte

}  // namespace

std::uint32_t MessageRead(tagMessage* msg) {
  Packet packet;
  if (gp_core_interface_inst == nullptr || gp_core_interface_inst->getPackage == nullptr) return kMessageNone;
  if (gp_core_interface_inst->getPackage(&packet) == 0) return kMessageNone;

  msg->id = packet.cmdId;
  msg->rw = packet.ctrl & kCtrlWrite;
  msg->isQueued = (packet.ctrl & kCtrlQueued) != 0 ? 1 : 0;
  if (packet.length < kLengthFieldBytes || packet.length > kKernelParamBytes + kLengthFieldBytes) {
    msg->paramsLen = 0;
    std::memset(msg->params, 0, sizeof msg->params);
    return kMessageRefused;
  }
  msg->paramsLen = packet.length - kLengthFieldBytes;
  std::memcpy(msg->params, packet.params, msg->paramsLen);
  std::memset(msg->params + msg->paramsLen, 0, sizeof msg->params - msg->paramsLen);
  return kMessageTaken;
}

std::uint32_t MessageWrite(const tagMessage* msg) {
  Packet packet;
  std::memset(&packet, 0, sizeof packet);
  const std::size_t paramsLen = msg->paramsLen < kKernelParamBytes ? msg->paramsLen : kKernelParamBytes;
  packet.length = static_cast<std::uint16_t>(paramsLen + kLengthFieldBytes);
  packet.cmdId = msg->id;
  packet.ctrl = static_cast<std::uint8_t>((msg->rw & kCtrlWrite) | ((msg->isQueued & 1) << 1));
  if (paramsLen != 0) std::memcpy(packet.params, msg->params, paramsLen);
  if (gp_core_interface_inst != nullptr && gp_core_interface_inst->sendPackage != nullptr) {
    gp_core_interface_inst->sendPackage(&packet);
  }
  return 0;
}
