#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"
#include "rpc_api/moves/ptp_move.h"

namespace zelor::modules::rpcExecuteApis {

bool coordinatesAreNumbers(const Args& args, std::size_t count, std::string& reply) {
  for (std::size_t i = 0; i < count; ++i) {
    std::string ignored;
    if (i < args.size() && isDouble(Args{args[i]}, ignored)) continue;
    RPC_LOG_ERROR("The {} parameter contains a string", i + 1);
    reply = errorReply(kTypeErrorBase - static_cast<long>(i));
    return false;
  }
  return true;
}

bool readCoordinates(const Args& args, std::size_t count, const CoordRange* ranges, tagPTPCmd& move,
                     std::string& reply) {
  float values[4] = {0.0F, 0.0F, 0.0F, 0.0F};
  for (std::size_t i = 0; i < count && i < 4; ++i) {
    // Checked before narrowing: "inf", "nan" and values past the float range
    // never reach the kernel.
    const double value = i < args.size() ? std::strtod(args[i].c_str(), nullptr) : 0.0;
    if (!isParamsRangeOk<double>(value, ranges[i].min, ranges[i].max, i + 1, reply)) {
      RPC_LOG_ERROR("the range of the params value is wrong: {}", reply);
      return false;
    }
    values[i] = static_cast<float>(value);
  }
  // The record is packed: its floats are copied, never referenced.
  std::memcpy(reinterpret_cast<unsigned char*>(&move) + offsetof(tagPTPCmd, x), values, sizeof values);
  return true;
}

std::array<float, 4> positionOf(const tagPTPCmd& move) {
  std::array<float, 4> values{};
  std::memcpy(values.data(), reinterpret_cast<const unsigned char*>(&move) + offsetof(tagPTPCmd, x),
              sizeof(float) * values.size());
  return values;
}

bool MoveCp::apply(const Args& args, std::string& reply) {
  std::string cpReply = kDoneReply;
  int value = 0;
  const bool valid = cp_->getInuputCpValue(&value, args, cpReply);
  // A bad CP value stops the move: the client would read an error id for a
  // move that runs.
  if (cpReply != kDoneReply) {
    reply = cpReply;
    return false;
  }
  if (!valid) return true;
  RPC_LOG_INFO("start set cp!");
  int before = 0;
  if (!cp_->getCurCpValue(&before)) {
    reply = kFailedReply;
    return false;
  }
  std::string setReply = kDoneReply;
  if (cp_->setCpValue(value, setReply) != 0) {
    reply = kFailedReply;
    return false;
  }
  cp_->m_cpValue = before;
  return true;
}

void MoveCp::restore() {
  if (!cp_) return;
  const int saved = cp_->m_cpValue;
  if (saved != CPSetting::kNothingToRestore) {
    RPC_LOG_INFO("recover CP!");
    cp_->m_cpValue = CPSetting::kNothingToRestore;
    restoreStep("CP", [&] {
      std::string ignored = kDoneReply;
      return cp_->setCpValue(saved, ignored) == 0;
    });
  }
  cp_.reset();
}

void restoreStep(const char* what, const std::function<bool()>& step) {
  if (step()) return;
  RPC_LOG_ERROR("restore failed {}, trying once more", what);
  if (!step()) RPC_LOG_ERROR("restore failed {} again", what);
}

bool queueMove(const tagPTPCmd& move) {
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_SetPTPCmd(&move, 1);
  if (packet == nullptr) {
    RPC_LOG_INFO("alloc_SetPTPCmd(&params, 1) error ,pack is nullptr");
    return false;
  }
  api.freePluginPacket(packet);
  return true;
}

bool queueCommonParams(tagPTPCommonParams params, const char* failure) {
  rpcExecuteApi& api = rpcExecuteApi::Instance();
  Packet* packet = api.alloc_SetPTPCommonParams(&params, 1);
  if (packet == nullptr) {
    RPC_LOG_INFO("{}", failure);
    return false;
  }
  api.freePluginPacket(packet);
  return true;
}

}  // namespace zelor::modules::rpcExecuteApis
