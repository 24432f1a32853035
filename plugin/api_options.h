#pragma once

// The option table a script passes to the motion functions, and its reader.

#include <cstdint>

struct lua_State;

struct Options_t {
  std::uint8_t isARM;
  char ARM[16];  // up to 15 characters; a longer text is cut
  std::uint8_t isCP;
  std::uint8_t CP;
  std::uint8_t isTool;
  std::uint8_t Tool;
  std::uint8_t isUser;
  std::uint8_t User;
  std::uint8_t isSpeedJ;
  float SpeedJ;
  std::uint8_t isAccJ;
  float AccJ;
  std::uint8_t isSpeedL;
  float SpeedL;
  std::uint8_t isAccL;
  float AccL;
  std::uint8_t isSpeedE;
  float SpeedE;
  std::uint8_t isAccE;
  float AccE;
  std::uint8_t isArch;
  std::uint8_t Arch;
  std::uint8_t isStart;
  float Start;
  std::uint8_t isZLimit;
  float ZLimit;
  std::uint8_t isEnd;
  float End;
  std::uint8_t isLoad;
  std::uint8_t Load;
  std::uint8_t isSYNC;
  std::uint8_t SYNC;
};

// Fills options from the call's last argument: -1 when the call has fewer than
// two arguments or the last is not a table, else 0. String keys with a string
// or number value are matched exactly; other entries are skipped.
int TraverseTable(lua_State* L, Options_t* options);
