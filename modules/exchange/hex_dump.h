#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace interface {

// "aa aa 00 01 ..." : two hex digits per byte, separated by blanks.
std::string hexDump(const std::uint8_t* bytes, std::size_t count);

}  // namespace interface
