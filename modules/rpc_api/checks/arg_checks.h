#pragma once

// The shared argument checks of the remote command handlers. A check that
// fails writes its error reply ("<id>,{},") and returns false; one that passes
// leaves the reply as it was.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

// Error ids of the checks.
inline constexpr long kCountErrorId = -20000;
inline constexpr long kTypeErrorBase = -30001;   // - position
inline constexpr long kOptionErrorBase = -30000;  // - position
inline constexpr long kRangeErrorBase = -40000;   // - position

// An optional "-", digits, at most one "." that is neither the first nor the
// last character.
bool isNumberStr(const std::string& text);

// The pieces a line reader with this delimiter reads: "" gives none, a
// trailing delimiter adds no empty piece.
std::vector<std::string> split(const std::string& text, char delimiter);

double getDouble(const std::string& text);
// strtol in base 10, held to the range of int.
int getInt(const std::string& text);

// Number rule: strtod gives a non-zero value, or the text is "0" or "0."
// followed by one to nine "0". Error -(30001 + i) at the first failure at
// position i. An empty list (or range) fails with the reply unchanged.
bool isDouble(const Args& args, std::string& reply);
// Positions first .. end - 1; each argument that passes is printed as
// "tmp:<text>". A position past the list is not a number.
bool isDouble(const Args& args, std::size_t first, std::size_t end, std::string& reply);

// Integer rule: the whole text matches "-[\d]*|[\d]*" ("" and "-" pass).
bool isInteger(const Args& args, std::string& reply);
bool isInteger(const Args& args, std::size_t first, std::size_t end, std::string& reply);

// min == max: count must equal it; min < max: min <= count <= max; min > max:
// always fails. Error -20000.
bool isParamsCountOk(std::uint8_t min, std::uint8_t max, std::size_t count, std::string& reply);

// min <= value <= max (NaN fails). Error -(40000 + position).
template <typename T>
bool isParamsRangeOk(T value, T min, T max, std::size_t position, std::string& reply);

extern template bool isParamsRangeOk<int>(int, int, int, std::size_t, std::string&);
extern template bool isParamsRangeOk<float>(float, float, float, std::size_t, std::string&);
extern template bool isParamsRangeOk<double>(double, double, double, std::size_t, std::string&);
extern template bool isParamsRangeOk<unsigned int>(unsigned int, unsigned int, unsigned int, std::size_t,
                                                   std::string&);
extern template bool isParamsRangeOk<unsigned char>(unsigned char, unsigned char, unsigned char, std::size_t,
                                                    std::string&);

// Every non-empty number-like piece of the text, left to right, each also
// printed in double quotes: "SpeedJ=50" gives 50, "x=1.5y=2" gives 1.5 and 2.
std::vector<std::string> getDigitsFromStr(const std::string& text);

}  // namespace zelor::modules::rpcExecuteApis
