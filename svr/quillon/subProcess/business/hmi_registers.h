#pragma once

// The operator panel's block of the Modbus slave's tables. Floats span two
// registers as libmodbus's modbus_set_float stores them (register n the low
// 16 bits). Register numbers are the tables' own.
namespace hmi_reg {

// Holding registers.
inline constexpr int kJogMode = 1300;          // non-zero: the panel is in jog mode
inline constexpr int kJogModeAck = 1301;       // 1 in jog mode, 0 after it
inline constexpr int kJogCoordinate = 1302;    // 0 joint jog, else Cartesian
inline constexpr int kInchOn = 1303;
inline constexpr int kSpeedRatio = 1304;       // percent
inline constexpr int kInchMM = 1305;           // float, 1305-1306
inline constexpr int kInchDegrees = 1307;      // float, 1307-1308
inline constexpr int kTool = 1309;
inline constexpr int kUser = 1310;
inline constexpr int kArm = 1311;
inline constexpr int kApplyRequest = 1312;
inline constexpr int kJogEnable = 1313;
inline constexpr int kJogPositiveFirst = 1314;  // joint j + 1 positive at 1314 + 2j
inline constexpr int kJogNegativeFirst = 1315;  // negative at 1315 + 2j
inline constexpr int kJogAxes = 4;
inline constexpr int kPointFirst = 1326;        // point Pn at 1326 + 15(n - 1)
inline constexpr int kPointStride = 15;
inline constexpr int kPointCount = 16;
inline constexpr int kPointX = 0;               // x, y, z, r floats at +0..+7
inline constexpr int kPointArm = 12;            // 0 left, 1 right
inline constexpr int kPointUser = 13;
inline constexpr int kPointTool = 14;
inline constexpr int kSaveRequest = 1566;
inline constexpr int kRunToMode = 1567;
inline constexpr int kRunToPoint = 1568;
inline constexpr int kRunToRequest = 1569;
inline constexpr int kClearAlarmRequest = 1570;
inline constexpr int kOverwritePoint = 1571;
inline constexpr int kOverwriteRequest = 1572;

// Input registers (floats).
inline constexpr int kAlarmInput = 0;
inline constexpr int kJointsInput = 202;  // joints 1..4
inline constexpr int kPoseInput = 242;    // x, y, z, r

// Digital inputs 1..20 on discrete inputs, outputs 1..20 on coils.
inline constexpr int kIoFirst = 50;
inline constexpr int kIoCount = 20;

// First register of point n (1..16).
constexpr int pointRegister(int n) { return kPointFirst + kPointStride * (n - 1); }

static_assert(pointRegister(kPointCount) + kPointTool == 1565);
static_assert(kJogNegativeFirst + 2 * (kJogAxes - 1) == 1321);

}  // namespace hmi_reg
