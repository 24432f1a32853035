#pragma once

#include <cstdint>
#include <string>

// Pallets of a pallet file, as JsonProjectReader::GetMatrixPalletInfo and
// GetTeachPalletInfo fill them for the caller.

struct stPalletPoint {
  double x;
  double y;
  double z;
  double r;
};

// A pallet laid out as a grid from its first point.
struct stMatrixPallet {
  std::int32_t userCoord;
  std::int32_t direction;
  std::string armOrientation;  // "Left" when the file names none
  std::int32_t countX;
  std::int32_t countY;
  std::int32_t countZ;
  double distanceX;
  double distanceY;
  double distanceZ;
  stPalletPoint safePoint;
  bool safePointAuto;
  bool hasPreparePoint;
  stPalletPoint preparePoint;
  stPalletPoint firstPoint;  // r is the rotation ("a" in the file)
};

inline constexpr int kPalletLayerPoints = 128;  // points of one period layer
inline constexpr int kPalletLayers = 20;        // layers (sequence entries) of one pallet

// One taught period layer.
struct stPalletLayer {
  std::int32_t index;       // its place in "layout"
  std::int32_t pointCount;  // at most kPalletLayerPoints
  double height;
  stPalletPoint points[kPalletLayerPoints];
};

// A pallet stacked from taught period layers.
struct stTeachPallet {
  std::string armOrientation;  // "Left" when the file names none
  std::int32_t countLayer;
  std::int32_t circleLayer;
  std::int32_t userCoord;
  std::int32_t totalPoints;  // over all period layers
  std::int32_t layerCount;   // entries of layerSeq and layers in use
  std::int32_t layerSeq[kPalletLayers];  // 1-based period-layer numbers
  double totalHeight;                    // sum of the heights of the layers
  stPalletLayer layers[kPalletLayers];   // in sequence order
  stPalletPoint transPoint;
  bool transPointAuto;
  bool hasPreparePoint;
  stPalletPoint preparePoint;
};
