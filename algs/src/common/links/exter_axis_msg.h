#pragma once

// Records shared by the motion library's slide-rail link and the slide-rail
// driver: the command message on the queue and the status block at the start
// of the shared memory. Both sides include this header.

#include <cstddef>
#include <cstdint>

namespace ExterAxisRTU {

// All three IPC objects (queue, status memory, one-semaphore set) use this key.
inline constexpr const char* kKeyPath = "/zelor";
inline constexpr int kKeyId = 2001;
inline constexpr std::size_t kStatusMemorySize = 1024;
// Present while the driver program is online; neither side of the link owns it.
inline constexpr const char* kOnlineMarker = "/tmp/slidesOnline";

// System V message types.
enum ExterAxisMsgType : long {
  kMsgImmediate = 1,  // emergency stop, stop, pause, continue
  kMsgSetting = 2,    // settings and state changes
  kMsgMotion = 3,     // jog, inch, move
};

// Command codes of the message body.
enum ExterAxisCmdCode : std::int32_t {
  kCmdEnable = 1,
  kCmdEStop = 3,
  kCmdClearAlarm = 4,
  kCmdZeroPos = 5,
  kCmdJog = 6,
  kCmdInch = 7,
  kCmdPosition = 8,
  kCmdSpeed = 9,
  kCmdAccel = 10,
  kCmdStop = 18,
  kCmdPause = 19,
  kCmdContinue = 20,
  kCmdRate = 21,
  kCmdReload = 22,
};

// The value is an int32 or a float32 depending on the command.
union ExterAxisValue {
  std::int32_t i;
  float f;
};

// The 12-byte body that travels on the queue (msgsnd/msgrcv length 12).
struct ExterAxisCmdBody {
  std::int32_t cmd;
  ExterAxisValue value;
  std::uint32_t index;
};
static_assert(sizeof(ExterAxisCmdBody) == 12);
static_assert(offsetof(ExterAxisCmdBody, cmd) == 0);
static_assert(offsetof(ExterAxisCmdBody, value) == 4);
static_assert(offsetof(ExterAxisCmdBody, index) == 8);

// One System V message: the native long type, then the body.
struct ExterAxisCmdMsg {
  long mtype;
  ExterAxisCmdBody body;
};
inline constexpr std::size_t kCmdBodySize = sizeof(ExterAxisCmdBody);
static_assert(offsetof(ExterAxisCmdMsg, body) == sizeof(long));

// Bit of the state word that tells the axis is ready (target reached).
inline constexpr std::uint16_t kStateReady = 0x400;

// The first 24 bytes of the status memory, written by the driver and copied
// as a whole under the semaphore. Native byte order.
struct ExterAxisStatus {
  std::uint32_t cmdIndex;      // index of the last command the driver handled
  std::uint16_t statusWord;    // drive state word
  std::uint16_t inputReg3;     // passed on from the drive, not read by the link
  std::uint16_t alarmCode;     // alarm word 1
  std::uint16_t alarmFlags;    // alarm word 2
  float position;              // axis position in user units
  std::uint32_t reachedIndex;  // index of the last finished command + 1
  std::uint8_t stopState;      // nonzero = stopped
  std::uint8_t reserved[3];
};
static_assert(sizeof(ExterAxisStatus) == 24);
static_assert(offsetof(ExterAxisStatus, cmdIndex) == 0);
static_assert(offsetof(ExterAxisStatus, statusWord) == 4);
static_assert(offsetof(ExterAxisStatus, inputReg3) == 6);
static_assert(offsetof(ExterAxisStatus, alarmCode) == 8);
static_assert(offsetof(ExterAxisStatus, alarmFlags) == 10);
static_assert(offsetof(ExterAxisStatus, position) == 12);
static_assert(offsetof(ExterAxisStatus, reachedIndex) == 16);
static_assert(offsetof(ExterAxisStatus, stopState) == 20);
static_assert(sizeof(ExterAxisStatus) <= kStatusMemorySize);

}  // namespace ExterAxisRTU
