// The status memory as several programs attach it: the first one creates the
// segment and clears its control area once; later ones leave it alone; a
// segment of the wrong size keeps a program retrying until it is removed.
#include "common/ipc/robot_map.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "status_peer.h"

using namespace std::chrono_literals;
using zelor::test::StatusPeer;

namespace {

key_t statusKey() { return ftok(robot_map::kKeyPath, robot_map::kKeyId); }

// The segment as the test sees it without robotMap; null when absent.
char* rawAttach(int* idOut = nullptr) {
  const int id = shmget(statusKey(), 0, 0);
  if (idOut != nullptr) *idOut = id;
  if (id < 0) return nullptr;
  void* p = shmat(id, nullptr, 0);
  return p == reinterpret_cast<void*>(-1) ? nullptr : static_cast<char*>(p);
}

void removeSegment() {
  const int id = shmget(statusKey(), 0, 0);
  if (id >= 0) shmctl(id, IPC_RMID, nullptr);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::int32_t word(const char* base, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, base + offset, sizeof v);
  return v;
}

// Pre-creates the full-size segment with every byte 0xFF.
char* createFilled() {
  const int id = shmget(statusKey(), robot_map::kSize, IPC_CREAT | 0600);
  if (id < 0) return nullptr;
  auto* p = static_cast<char*>(shmat(id, nullptr, 0));
  std::memset(p, 0xFF, robot_map::kSize);
  return p;
}

}  // namespace

TEST(RobotMap, FirstAttachCreatesAndMarksTheMemoryLaterAttachesLeaveItAlone) {
  ASSERT_EQ(rawAttach(), nullptr) << "a fresh namespace holds no status memory";
  StatusPeer first("/tmp/first.out");
  StatusPeer second("/tmp/second.out");
  ASSERT_EQ(first.attach(), 0);
  EXPECT_EQ(first.read32(robot_map::kMagic), robot_map::kMagicValue);
  EXPECT_EQ(first.read32(robot_map::kScriptStatus), 0);
  first.write32(robot_map::kScriptStatus, 2);
  first.write32(robot_map::kIsDisabled, 1);

  ASSERT_EQ(second.attach(), 0);
  EXPECT_EQ(second.read32(robot_map::kScriptStatus), 2) << "a later attach cleared the control area";
  EXPECT_EQ(second.read32(robot_map::kIsDisabled), 1);
  second.write8(robot_map::kCoils + 7, 1);
  EXPECT_EQ(first.read8(robot_map::kCoils + 7), 1) << "both processes see one memory";

  int id = -1;
  char* raw = rawAttach(&id);
  ASSERT_NE(raw, nullptr);
  shmid_ds ds{};
  ASSERT_EQ(shmctl(id, IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.shm_segsz, robot_map::kSize);
  EXPECT_EQ(ds.shm_perm.mode & 0777, 0411u) << "created with the flag value 777";
  shmdt(raw);

  const std::string one = readFile("/tmp/first.out");
  const std::string two = readFile("/tmp/second.out");
  EXPECT_NE(one.find("[robotMap::robotMap] create shm success,key:"), std::string::npos) << one;
  EXPECT_NE(one.find(",size:10485760\n"), std::string::npos) << one;
  EXPECT_EQ(countOf(one, "[robotMap::robotMap]  init this memory"), 1) << one;
  EXPECT_EQ(countOf(two, "init this memory"), 0) << two;
  removeSegment();
}

TEST(RobotMap, WithoutTheMagicOnlyTheControlAreaIsCleared) {
  char* raw = createFilled();
  ASSERT_NE(raw, nullptr);
  StatusPeer peer;
  ASSERT_EQ(peer.attach(), 0);
  EXPECT_EQ(static_cast<unsigned char>(raw[robot_map::kMagic - 1]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(raw[robot_map::kControlAreaEnd]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(raw[robot_map::kCoils]), 0xFF) << "the Modbus tables are never cleared";
  EXPECT_EQ(word(raw, robot_map::kMagic), robot_map::kMagicValue);
  std::size_t firstDirty = 0;
  for (std::size_t at = robot_map::kMagic + 4; at < robot_map::kControlAreaEnd; ++at) {
    if (raw[at] != 0) {
      firstDirty = at;
      break;
    }
  }
  EXPECT_EQ(firstDirty, 0u) << "byte " << firstDirty << " of the control area kept its value";
  shmdt(raw);
  removeSegment();
}

TEST(RobotMap, WithTheMagicPresentNothingIsCleared) {
  char* raw = createFilled();
  ASSERT_NE(raw, nullptr);
  const std::int32_t magic = robot_map::kMagicValue;
  const std::int32_t status = 5;
  std::memcpy(raw + robot_map::kMagic, &magic, sizeof magic);
  std::memcpy(raw + robot_map::kScriptStatus, &status, sizeof status);
  StatusPeer peer;
  ASSERT_EQ(peer.attach(), 0);
  EXPECT_EQ(peer.read32(robot_map::kScriptStatus), 5);
  EXPECT_EQ(peer.read32(robot_map::kIsErr), -1) << "0xFF bytes stay";
  shmdt(raw);
  removeSegment();
}

TEST(RobotMap, ASmallerSegmentUnderTheKeyKeepsTheAttachRetryingUntilItIsRemoved) {
  const int small = shmget(statusKey(), 4096, IPC_CREAT | 0600);
  ASSERT_GE(small, 0);
  StatusPeer probe("/tmp/probe.out");
  ASSERT_TRUE(probe.post(StatusPeer::kAttach, 0, 0));
  std::this_thread::sleep_for(1700ms);
  const std::string waiting = readFile("/tmp/probe.out");
  const int tries = countOf(waiting, "[robotMap::robotMap] create shm is failed. shmid == -1\n");
  EXPECT_GE(tries, 2) << waiting;
  EXPECT_LE(tries, 4) << "retries come about every 500 ms\n" << waiting;
  EXPECT_EQ(countOf(waiting, "create shm success"), 0) << waiting;

  ASSERT_EQ(shmctl(small, IPC_RMID, nullptr), 0);
  const auto removed = std::chrono::steady_clock::now();
  EXPECT_EQ(probe.answer(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - removed, 1500ms);
  EXPECT_EQ(probe.read32(robot_map::kMagic), robot_map::kMagicValue);
  const std::string attached = readFile("/tmp/probe.out");
  EXPECT_EQ(countOf(attached, "create shm success"), 1) << attached;
  removeSegment();
}
