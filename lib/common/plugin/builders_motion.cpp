// Builders of the move commands.
#include "common/plugin/plugin_base.h"
#include "log/line_log.h"

// The kernel reads no more than its buffer holds, so the count is bounded here
// rather than left to the caller. No list means no outputs; the length still
// covers the count given.
template <typename Move>
Packet* PluginBase::sendWithOutputs(const CommandSpec& spec, int isQueued, const Move* move,
                                    const tagParallelOutputCmd* outputs, int count, const char* builder) {
  if (move == nullptr) return refuseNull(builder);
  if (count < 0 || count > kMaxParallelOutputs) {
    ZLOG_ERROR("[%s] %d parallel outputs, 0 to %d fit a packet; nothing sent", builder, count, kMaxParallelOutputs);
    return nullptr;
  }
  const auto countByte = static_cast<std::uint8_t>(outputs != nullptr ? count : 0);
  return send(spec, isQueued,
              {{move, sizeof(Move)}, {&countByte, 1}, {outputs, sizeof(tagParallelOutputCmd) * count}});
}

Packet* PluginBase::alloc_SetPTPCmd(const tagPTPCmd* move, int isQueued) {
  return sendRecord(cmd::SetPTPCmd, isQueued, move, __func__);
}

Packet* PluginBase::alloc_SetPTPWithLCmd(const tagPTPWithLCmd* move, bool isQueued) {
  return sendRecord(cmd::SetPTPWithLCmd, isQueued, move, __func__);
}

Packet* PluginBase::alloc_SetPTPPOCmd(const tagPTPCmd* move, const tagParallelOutputCmd* outputs, int count,
                                      bool isQueued) {
  return sendWithOutputs(cmd::SetPTPPOCmd, isQueued, move, outputs, count, __func__);
}

Packet* PluginBase::alloc_SetPTPPOWithLCmd(const tagPTPWithLCmd* move, const tagParallelOutputCmd* outputs,
                                           int count, bool isQueued) {
  return sendWithOutputs(cmd::SetPTPPOWithLCmd, isQueued, move, outputs, count, __func__);
}

Packet* PluginBase::alloc_SetCPCmd(const tagCPCmd* move, int isQueued) {
  return sendRecord(cmd::SetCPCmd, isQueued, move, __func__);
}

Packet* PluginBase::alloc_SetCPLECmd(const tagCPCmd* move, int isQueued) {
  return sendRecord(cmd::SetCPLECmd, isQueued, move, __func__);
}

Packet* PluginBase::alloc_SetARCCmd(const tagARCCmd* move, int isQueued) {
  return sendRecord(cmd::SetARCCmd, isQueued, move, __func__);
}

Packet* PluginBase::alloc_SetCircleCmd(const tagCircleCmd* move, int isQueued) {
  return sendRecord(cmd::SetCircleCmd, isQueued, move, __func__);
}

Packet* PluginBase::alloc_SetExicitCmd(const tagExcitCmd* excitation, bool isQueued) {
  return sendRecord(cmd::SetExicitCmd, isQueued, excitation, __func__);
}

Packet* PluginBase::alloc_SetExicitZCmd(const tagExcitCmdZ* excitation, bool isQueued) {
  return sendRecord(cmd::SetExicitZCmd, isQueued, excitation, __func__);
}

Packet* PluginBase::alloc_SetWAITCmd(const tagWAITCmd* wait, int isQueued) {
  return sendRecord(cmd::SetWAITCmd, isQueued, wait, __func__);
}

Packet* PluginBase::alloc_SetTRIGCmd(const tagTRIGCmd* trigger, int isQueued) {
  return sendRecord(cmd::SetTRIGCmd, isQueued, trigger, __func__);
}
