#pragma once

#include <cstddef>

// Dynamic parameter record of the four-axis arm: for each link j = 1..4 a
// block of 13 standard link parameters at 13·(j - 1) + k, then the payload
// mass and its inertia about the vertical axis (payload at the origin of
// frame 4). SI units: kg, kg·m, kg·m², N·m, N.
struct DynPara {
  double para[54];
};
static_assert(sizeof(DynPara) == 54 * sizeof(double));

namespace dyn_slot {
inline constexpr int kLinkBlock = 13;
// Entries of a link block; XX, XY, XZ, YY, YZ (0..4) and MZ are carried only.
inline constexpr int kZZ = 5;
inline constexpr int kMX = 6;
inline constexpr int kMY = 7;
inline constexpr int kMZ = 8;
inline constexpr int kM = 9;
inline constexpr int kIA = 10;  // rotor inertia reflected to the joint
inline constexpr int kFS = 11;  // Coulomb friction
inline constexpr int kFV = 12;  // viscous friction
inline constexpr int kPayloadMass = 52;
inline constexpr int kPayloadInertia = 53;

// Index of entry k of link j (1..4).
constexpr int link(int j, int k) { return kLinkBlock * (j - 1) + k; }
}  // namespace dyn_slot

// Dead band of the friction sign per joint (rad/s; m/s for joint 3).
inline constexpr float kFrictionEps[4] = {0.1f, 0.1f, 0.01f, 0.1f};
