// Builders of the move commands.
#include "common/plugin/plugin_base.h"
#include "log/line_log.h"

namespace {

// A move record, a count byte and the parallel outputs behind it. The kernel
// reads no more than fits its buffer, so the count is bounded here.
bool parallelOutputsFit(int count, const char* builder) {
  if (count >= 0 && count <= kMaxParallelOutputs) return true;
  ZLOG_ERROR("[%s] %d parallel outputs, 0 to %d fit a packet; nothing sent", builder, count, kMaxParallelOutputs);
  return false;
}

}  // namespace

Packet* PluginBase::alloc_SetPTPCmd(const tagPTPCmd* move, int isQueued) {
  return sendRecord(cmd::SetPTPCmd, isQueued, move, __func__);
}

Packet* PluginBase::alloc_SetPTPWithLCmd(const tagPTPWithLCmd* move, bool isQueued) {
  return sendRecord(cmd::SetPTPWithLCmd, isQueued, move, __func__);
}

Packet* PluginBase::alloc_SetPTPPOCmd(const tagPTPCmd* move, const tagParallelOutputCmd* outputs, int count,
                                      bool isQueued) {
  if (move == nullptr) return refuseNull(__func__);
  if (!parallelOutputsFit(count, __func__)) return nullptr;
  // No list means no outputs; the length still covers the count given.
  const auto countByte = static_cast<std::uint8_t>(outputs != nullptr ? count : 0);
  return send(cmd::SetPTPPOCmd, isQueued,
              {{move, sizeof *move}, {&countByte, 1}, {outputs, sizeof(tagParallelOutputCmd) * count}});
}

Packet* PluginBase::alloc_SetPTPPOWithLCmd(const tagPTPWithLCmd* move, const tagParallelOutputCmd* outputs,
                                           int count, bool isQueued) {
  if (move == nullptr) return refuseNull(__func__);
  if (!parallelOutputsFit(count, __func__)) return nullptr;
  const auto countByte = static_cast<std::uint8_t>(outputs != nullptr ? count : 0);
  return send(cmd::SetPTPPOWithLCmd, isQueued,
              {{move, sizeof *move}, {&countByte, 1}, {outputs, sizeof(tagParallelOutputCmd) * count}});
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
