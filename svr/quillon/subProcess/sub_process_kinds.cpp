#include "subProcess/sub_process_kinds.h"

#include "subProcess/core/core_sub_process.h"

namespace {

ISubProcess* createCore(const SubProcessParam& p) { return new CoreSubProcess(p.packet_size, p.rtsParam); }

// Each later sub-process (Lua, data, client, debug) adds its row here.
constexpr SubProcessKind kKinds[] = {
    {ISubProcess::CORE, createCore},
};

}  // namespace

const SubProcessKind* findSubProcessKind(int kind) {
  for (const SubProcessKind& row : kKinds) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}
