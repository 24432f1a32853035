#include "rpc_api/checks/arg_checks.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "rpc_api/api_log.h"

namespace zelor::modules::rpcExecuteApis {

namespace {

const std::regex& integerPattern() {
  static const std::regex pattern(R"(-[\d]*|[\d]*)", std::regex::ECMAScript | std::regex::optimize);
  return pattern;
}

const std::regex& digitsPattern() {
  static const std::regex pattern(R"(([\d]{1,}[.][\d]*)|([\d]*)|(-[\d]{1,}[.][\d]*)|(-[\d]*))",
                                  std::regex::ECMAScript | std::regex::optimize);
  return pattern;
}

// "0" or "0." followed by one to nine "0".
bool isWrittenZero(const std::string& text) {
  if (text == "0") return true;
  if (text.size() < 3 || text.size() > 11 || text.compare(0, 2, "0.") != 0) return false;
  return text.find_first_not_of('0', 2) == std::string::npos;
}

bool isNumber(const std::string& text) {
  return std::strtod(text.c_str(), nullptr) != 0.0 || isWrittenZero(text);
}

bool isIntegerText(const std::string& text) { return std::regex_match(text, integerPattern()); }

// Checks positions first .. end - 1 with rule; a position past the list fails.
template <typename Rule, typename Passed>
bool checkRange(const Args& args, std::size_t first, std::size_t end, std::string& reply, Rule rule,
                Passed passed) {
  if (first >= end) return false;
  for (std::size_t i = first; i < end; ++i) {
    if (i >= args.size() || !rule(args[i])) {
      reply = errorReply(kTypeErrorBase - static_cast<long>(i));
      return false;
    }
    passed(args[i]);
  }
  return true;
}

}  // namespace

bool isNumberStr(const std::string& text) {
  std::size_t at = 0;
  if (!text.empty() && text[0] == '-') at = 1;
  if (at >= text.size()) return false;
  bool dot = false;
  for (std::size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') {
      if (dot || i == 0 || i + 1 == text.size()) return false;
      dot = true;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

std::vector<std::string> split(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  std::istringstream in(text);
  std::string piece;
  while (std::getline(in, piece, delimiter)) pieces.push_back(piece);
  return pieces;
}

double getDouble(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

int getInt(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  // A value past int must not wrap into a valid one.
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool isDouble(const Args& args, std::string& reply) {
  return checkRange(args, 0, args.size(), reply, isNumber, [](const std::string&) {});
}

bool isDouble(const Args& args, std::size_t first, std::size_t end, std::string& reply) {
  return checkRange(args, first, end, reply, isNumber,
                    [](const std::string& text) { std::printf("tmp:%s\n", text.c_str()); });
}

bool isInteger(const Args& args, std::string& reply) {
  return checkRange(args, 0, args.size(), reply, isIntegerText, [](const std::string&) {});
}

bool isInteger(const Args& args, std::size_t first, std::size_t end, std::string& reply) {
  return checkRange(args, first, end, reply, isIntegerText, [](const std::string&) {});
}

bool isParamsCountOk(std::uint8_t min, std::uint8_t max, std::size_t count, std::string& reply) {
  const bool ok = min == max ? count == min : (min < max && count >= min && count <= max);
  if (!ok) reply = errorReply(kCountErrorId);
  return ok;
}

template <typename T>
bool isParamsRangeOk(T value, T min, T max, std::size_t position, std::string& reply) {
  // Written so that a NaN fails both comparisons.
  if (min <= value && value <= max) return true;
  reply = errorReply(kRangeErrorBase - static_cast<long>(position));
  return false;
}

template bool isParamsRangeOk<int>(int, int, int, std::size_t, std::string&);
template bool isParamsRangeOk<float>(float, float, float, std::size_t, std::string&);
template bool isParamsRangeOk<double>(double, double, double, std::size_t, std::string&);
template bool isParamsRangeOk<unsigned int>(unsigned int, unsigned int, unsigned int, std::size_t, std::string&);
template bool isParamsRangeOk<unsigned char>(unsigned char, unsigned char, unsigned char, std::size_t,
                                             std::string&);

std::vector<std::string> getDigitsFromStr(const std::string& text) {
  std::vector<std::string> digits;
  for (std::sregex_iterator it(text.begin(), text.end(), digitsPattern()), end; it != end; ++it) {
    if (it->length(0) == 0) continue;
    digits.push_back(it->str());
    std::printf("\"%s\"\n", digits.back().c_str());
  }
  return digits;
}

}  // namespace zelor::modules::rpcExecuteApis
