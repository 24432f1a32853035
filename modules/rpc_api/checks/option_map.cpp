#include <climits>
#include <cstdlib>

#include "rpc_api/api_log.h"
#include "rpc_api/checks/arg_checks.h"

// Keyed options ("SpeedJ=50") and the key lookup in a text.

namespace zelor::modules::rpcExecuteApis {

void rpcExecuteApi::Vector2Map(const Args& args, OptionMap& map, std::uint8_t start, std::string& reply) {
  const std::size_t count = args.size();
  if (count < start) {
    RPC_LOG_INFO("vector size {} < start pos {} ....", count, start);
    return;
  }
  for (std::size_t i = count; i-- > start;) {
    const std::string& arg = args[i];
    const std::size_t equals = arg.find('=');
    if (equals == std::string::npos) {
      reply = errorReply(kRangeErrorBase - static_cast<long>(i));
      RPC_LOG_INFO("get kv {} faild! str:{} ", i, arg);
      return;
    }
    const std::string key = arg.substr(0, equals);
    const std::string text = arg.substr(equals + 1);
    const long value = std::strtol(text.c_str(), nullptr, 10);
    // A value that does not fit the option byte is refused rather than
    // wrapped into another, valid one (300 would become 44).
    if (value < 0 || value > UCHAR_MAX) {
      reply = errorReply(kRangeErrorBase - static_cast<long>(i));
      RPC_LOG_INFO("get kv {} faild! str:{} ", i, arg);
      return;
    }
    if (value == 0 && text != "0") {
      RPC_LOG_INFO("parse params to map faild ,which is not a int,key:{},val:{}", key, text);
      reply = errorReply(kOptionErrorBase - static_cast<long>(i));
    }
    map.emplace(key, static_cast<std::uint8_t>(value));
  }
  if (count == 0 && start == 0) {
    reply = errorReply(kCountErrorId);
    RPC_LOG_INFO("index {} larger than max {} ", start, count);
  }
}

bool rpcExecuteApi::GetStringValue(const std::string& input, const std::string& key, std::string& output) {
  if (key.size() >= input.size()) {
    RPC_LOG_INFO("[{}] #line {} please check the input parameter!", __func__, __LINE__);
    return false;
  }
  const std::size_t at = input.find(key);
  if (at == std::string::npos) {
    RPC_LOG_INFO("[{}] #line {} cann't find parameter {}!", __func__, __LINE__, key);
    return false;
  }
  const std::size_t from = at + key.size() + 1;
  const std::string rest = from < input.size() ? input.substr(from) : std::string();
  const std::size_t comma = rest.find(',');
  if (comma == std::string::npos || comma == 0) {
    RPC_LOG_INFO("[{}] #line {} please check the input parameter!", __func__, __LINE__);
    return false;
  }
  output = rest.substr(0, comma);
  return true;
}

}  // namespace zelor::modules::rpcExecuteApis
