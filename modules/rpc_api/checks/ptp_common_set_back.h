#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "common/protocol/command_records.h"
#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

// The common motion parameters changed for one command by its keyed options
// (SpeedJ, AccJ, SpeedL, AccL, User, Tool) and put back by back(), queued
// after the command's own packets.
class PTPCommonSetBack {
 public:
  // 0 with the reply "0,{},", or -1 with an error reply.
  int set(const OptionMap& options, const std::set<std::string>& allowed, std::string& reply);
  // Queues the saved parameters when set() changed them.
  int back();

  // Reads (id 83) or queues (id 83 write) the common parameters; 0 or -1.
  static int readFromAlgs(tagPTPCommonParams& params);
  static int setToAlgs(const tagPTPCommonParams& params);

 private:
  tagPTPCommonParams m_saved{};
  tagPTPCommonParams m_new{};
  bool m_restore = false;
};

}  // namespace zelor::modules::rpcExecuteApis
