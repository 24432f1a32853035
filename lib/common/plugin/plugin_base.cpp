#include "common/plugin/plugin_base.h"

#include <cstring>

#include "log/line_log.h"

int PluginBase::init(PluginType type) {
  m_pluginType = type;
  return 1;
}

void PluginBase::release() {}

void PluginBase::checkQueueBuffer(bool, int) {}

int PluginBase::processTranslate(Packet* packet) {
  packet->header[0] = kPacketHeaderByte;
  packet->header[1] = kPacketHeaderByte;
  packet->length = static_cast<std::uint16_t>(packet->length + 2);
  return 1;
}

Packet* PluginBase::allocPluginPacket() { return m_pool.take(); }

void PluginBase::freePluginPacket(Packet* packet) { m_pool.give(packet); }

void PluginBase::clearPluginPacket() { m_pool.clear(); }

Packet* PluginBase::send(const CommandSpec& spec, int isQueued, std::initializer_list<ParamBytes> params) {
  if (spec.queue == CmdQueue::Queueable) checkQueueBuffer(isQueued != 0, 2);

  Packet* packet = allocPluginPacket();
  packet->cmdId = spec.id;
  std::uint8_t ctrl = spec.dir == CmdDir::Write ? kCtrlWrite : 0;
  if (spec.queue != CmdQueue::Immediate && (isQueued & 1) != 0) ctrl |= kCtrlQueued;
  packet->ctrl = ctrl;

  // Callers bound their parameters to kKernelParamBytes; the copy stays inside
  // the packet regardless.
  std::size_t length = 0;
  for (const ParamBytes& piece : params) {
    const std::size_t room = kPacketParamCapacity - length;
    const std::size_t size = piece.size < room ? piece.size : room;
    if (size > 0 && piece.data != nullptr) std::memcpy(packet->params + length, piece.data, size);
    length += size;
  }
  packet->length = static_cast<std::uint16_t>(length);

  if (processTranslate(packet) == 0) {
    freePluginPacket(packet);
    return nullptr;
  }
  return packet;
}

Packet* PluginBase::sendTextWithNul(const CommandSpec& spec, int isQueued, const char* text, std::size_t length,
                                    const char* builder) {
  if (length + 1 > kKernelParamBytes) {
    ZLOG_ERROR("[%s] text of %zu bytes does not fit a packet, nothing sent", builder, length);
    return nullptr;
  }
  const char terminator = '\0';
  return send(spec, isQueued, {{text, length}, {&terminator, 1}});
}

Packet* PluginBase::refuseNull(const char* builder) {
  ZLOG_ERROR("[%s] no record given, nothing sent", builder);
  return nullptr;
}
