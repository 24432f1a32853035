#pragma once

#include "common/ipc/payload_request.h"

namespace zelor::modules::rpcExecuteApis {

// Attaches the payload memory and publishes the record; false (logged) when
// the memory cannot be had.
bool writePayloadMemory(const zelor::common::ipc::PayloadRequest& record);

}  // namespace zelor::modules::rpcExecuteApis
