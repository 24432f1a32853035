#include <string>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/io/io_args.h"

// BrakeControl(joint, value): relayed to the data server's brake handler,
// whose answer ("0" or "-1") leads the reply.

namespace zelor::modules::rpcExecuteApis {

namespace {

constexpr int kFirstJoint = 1;
constexpr int kLastJoint = 6;

}  // namespace

void rpcExecuteApi::BrakeControl(const Args& args, std::string& reply) {
  if (!integerArgs(args, 2, reply)) return;
  const int joint = getInt(args[0]);
  const int value = getInt(args[1]);
  if (!isParamsRangeOk<int>(joint, kFirstJoint, kLastJoint, 1, reply) ||
      !isParamsRangeOk<int>(value, 0, 1, 2, reply)) {
    logRangeError(reply);
    return;
  }
  // Clients count joints from 1; the data server's records from 0.
  std::string answer;
  remoteRawCmd("BrakeControl", {std::to_string(joint - 1), std::to_string(value)}, answer);
  reply = answer + ",{},";
}

}  // namespace zelor::modules::rpcExecuteApis
