#pragma once

#include <algorithm>
#include <cstdint>

// The common speed ratio as the kernel's one-byte ratio.
inline std::uint8_t speedRatioByte(int ratio) { return static_cast<std::uint8_t>(std::clamp(ratio, 0, 255)); }
