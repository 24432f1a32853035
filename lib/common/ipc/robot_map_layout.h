#pragma once

#include <cstddef>
#include <cstdint>

// Byte layout of the 10 MiB status memory that the data server, the control
// program and the script plug-in all attach. Every offset that a program reads
// or writes there is named here and nowhere else. Integers are little-endian;
// Modbus registers hold host order (libmodbus converts on the wire).

namespace robot_map {

inline constexpr const char* kKeyPath = "/root/";
inline constexpr int kKeyId = 432105;
inline constexpr std::size_t kSize = 0xA00000;
// shmget flag exactly as every program passes it: 777 decimal, that is
// IPC_CREAT with access bits 0411, so whichever program comes first creates it.
inline constexpr int kShmFlag = 777;

// Magic word; a segment without it gets its control area cleared once.
inline constexpr std::size_t kMagic = 262144;
inline constexpr std::int32_t kMagicValue = 675930;
inline constexpr std::size_t kControlAreaSize = 6860;  // from kMagic, magic included
inline constexpr std::size_t kControlAreaEnd = kMagic + kControlAreaSize;

// Control words (32-bit).
inline constexpr std::size_t kDragMode = 262160;         // 1 on, 2 off
inline constexpr std::size_t kControlType = 262172;      // script state: 1 running or continued, 2 stopped
inline constexpr std::size_t kCurrentTool = 262180;
inline constexpr std::size_t kCurrentUser = 262184;
inline constexpr std::size_t kScriptStatus = 266212;     // 0 none, 1 running, 2 paused (also a command)
inline constexpr std::size_t kIsErr = 266224;            // g_isErr: 1 while the robot mode is 9
inline constexpr std::size_t kIsWarn = 266228;           // g_isWarn: warning or collision
inline constexpr std::size_t kIsDisabled = 266232;       // is_disabel: non-zero while not enabled
inline constexpr std::size_t kRemoteMode = 266236;       // g_remoteMode
inline constexpr std::size_t kCollisionReset = 266252;   // collision-reset request
inline constexpr std::size_t kPowerStatus = 266260;
inline constexpr std::size_t kUnderEmergency = 266264;   // g_isUnderEmergency
inline constexpr std::size_t kSafeSuspend = 266272;      // isSafeSuspend
inline constexpr std::size_t kSafeRun = 266276;          // isSafeRun
inline constexpr std::size_t kPauseCopy = 266304;        // the record's PauseCmdFlag, sign-extended
inline constexpr std::size_t kRunRequest = 266308;
inline constexpr std::size_t kPauseRequest = 266312;
inline constexpr std::size_t kContinueRequest = 266316;
inline constexpr std::size_t kStopRequest = 266320;
inline constexpr std::size_t kUpdateNameRequest = 266324;
inline constexpr std::size_t kScriptName = 266328;       // text
inline constexpr std::size_t kScriptNameSize = 256;
inline constexpr std::size_t kRemoteProjectName = 266584;  // text
inline constexpr std::size_t kRemoteProjectNameSize = 256;
inline constexpr std::size_t kHostAddress = 266840;      // text
inline constexpr std::size_t kHostAddressSize = 16;
inline constexpr std::size_t kControlMode = 266856;      // text, NUL-terminated ("tcp", ...)
inline constexpr std::size_t kControlModeSize = 24;
inline constexpr std::size_t kEStopRequest = 266880;
inline constexpr std::size_t kEnableRequest = 266884;
inline constexpr std::size_t kDisableRequest = 266888;
inline constexpr std::size_t kClearErrorRequest = 266892;
inline constexpr std::size_t kStartQueueRequest = 266896;
inline constexpr std::size_t kStopQueueRequest = 266900;
inline constexpr std::size_t kStopClearQueueRequest = 266904;
inline constexpr std::size_t kDragStartRequest = 266920;
inline constexpr std::size_t kDragStopRequest = 266924;

// Modbus tables: coils and discrete inputs one byte each, registers u16.
inline constexpr std::size_t kTableEntries = 10000;
inline constexpr std::size_t kCoils = 524288;
inline constexpr std::size_t kDiscreteInputs = 534288;
inline constexpr std::size_t kInputRegisters = 544288;
inline constexpr std::size_t kHoldingRegisters = 564288;
inline constexpr std::size_t kHoldingRegistersEnd = kHoldingRegisters + 2 * kTableEntries;

// Real-time record and its validity flag (u16: 0 while rewritten, 1 after).
inline constexpr std::size_t kRecordValid = 546286;
inline constexpr std::size_t kRecord = 546288;
inline constexpr std::size_t kRecordSize = 1440;
inline constexpr int kRecordValidRegister = 999;
inline constexpr int kRecordFirstRegister = 1000;
inline constexpr int kRecordLastRegister = 1719;

constexpr std::size_t inputRegister(int n) { return kInputRegisters + 2 * static_cast<std::size_t>(n); }
constexpr std::size_t holdingRegister(int n) { return kHoldingRegisters + 2 * static_cast<std::size_t>(n); }

static_assert(kSize == 10485760);
static_assert(kShmFlag == (01000 | 0411), "IPC_CREAT with access bits 0411");
static_assert(kMagic == 0x40000 && kControlAreaEnd == 269004);
static_assert(kControlAreaEnd <= kCoils);
static_assert(kIsErr == 0x40FF0 && kIsDisabled == 0x40FF8 && kPauseCopy == 0x41040);
static_assert(kScriptName + kScriptNameSize == kRemoteProjectName);
static_assert(kRemoteProjectName + kRemoteProjectNameSize == kHostAddress);
static_assert(kHostAddress + kHostAddressSize == kControlMode);
static_assert(kControlMode + kControlModeSize == kEStopRequest);
static_assert(kDragStopRequest + 4 <= kControlAreaEnd);
static_assert(kDragMode % 4 == 0 && kControlType % 4 == 0 && kScriptStatus % 4 == 0 && kIsWarn % 4 == 0 &&
              kRemoteMode % 4 == 0 && kCollisionReset % 4 == 0 && kPowerStatus % 4 == 0 &&
              kUnderEmergency % 4 == 0 && kSafeSuspend % 4 == 0 && kSafeRun % 4 == 0 &&
              kUpdateNameRequest % 4 == 0 && kStopClearQueueRequest % 4 == 0 && kDragStartRequest % 4 == 0,
              "control words are aligned 32-bit words");
static_assert(kCoils == 0x80000 && kDiscreteInputs == kCoils + kTableEntries);
static_assert(kInputRegisters == kDiscreteInputs + kTableEntries);
static_assert(kHoldingRegisters == kInputRegisters + 2 * kTableEntries);
static_assert(kHoldingRegistersEnd <= kSize);
static_assert(inputRegister(kRecordValidRegister) == kRecordValid);
static_assert(inputRegister(kRecordFirstRegister) == kRecord);
static_assert(kRecord + kRecordSize == inputRegister(kRecordLastRegister + 1));
static_assert(holdingRegister(1300) == 564288 + 2600);
static_assert(kRecord % 8 == 0, "the record's doubles are aligned");

}  // namespace robot_map
