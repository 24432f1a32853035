#include "subProcess/sub_process_kinds.h"

#include "subProcess/core/core_sub_process.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/debug/debug_sub_process.h"
#include "subProcess/lua/lua_sub_process.h"

namespace {

ISubProcess* createCore(const SubProcessParam& p) { return new CoreSubProcess(p.packet_size, p.rtsParam); }
ISubProcess* createLua(const SubProcessParam& p) { return new LuaSubProcess(p.lua_port); }
ISubProcess* createData(const SubProcessParam& p) { return new DataSubProcess(p.data_port, p.version); }
ISubProcess* createDebug(const SubProcessParam& p) { return new DebugSubProcess(p.debug_port, p.debug_size); }

// Each later sub-process (client, debug) adds its row here.
constexpr SubProcessKind kKinds[] = {
    {ISubProcess::CORE, createCore},
    {ISubProcess::LUA, createLua},
    {ISubProcess::DATA, createData},
    {ISubProcess::DEBUG, createDebug},
};

}  // namespace

const SubProcessKind* findSubProcessKind(int kind) {
  for (const SubProcessKind& row : kKinds) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}
