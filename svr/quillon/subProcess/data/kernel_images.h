#pragma once

#include <cstdint>

// The core's views of the motion kernel's state, read through its interCall
// ids. Every query leaves zeros (or null) without a core or before the kernel
// has its parameters.
namespace kernel_images {

// Both digital images hold 1000 bytes, one per point; remote Modbus slave s
// starts at byte 100 + 100 s.
inline constexpr int kImageBytes = 1000;
inline constexpr int kLocalPoints = 64;
inline constexpr int kAlarmBytes = 32;

// The kernel's output image (query 3), or null.
std::uint8_t* outputImage();
// The image holding the remote Modbus inputs (query 18), or null.
std::uint8_t* inputImage();
// The 64 local inputs (query 4).
void localInputs(std::uint8_t out[kLocalPoints]);
// x, y, z, r, then joints 1-4 (query 5).
void pose(float out[8]);
// The 32 alarm bytes (query 8).
void alarms(std::uint8_t out[kAlarmBytes]);
// The arm orientation (query 10).
int armOrientation();

}  // namespace kernel_images
