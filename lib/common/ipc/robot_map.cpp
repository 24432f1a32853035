#include "common/ipc/robot_map.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

robotMap& robotMap::instance() {
  // Never destroyed: the memory stays attached while any thread may use it.
  static robotMap* map = new robotMap();
  return *map;
}

robotMap::robotMap() {
  attach();
  initControlArea();
}

// Every program makes the same calls, so whichever comes first creates the
// segment and none waits for another.
void robotMap::attach() {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (access(robot_map::kKeyPath, F_OK) != 0) {
      std::printf("[robotMap::robotMap] open robot_map_shm_key_path faild return -1\n");
      std::fflush(stdout);
      continue;
    }
    const key_t key = ftok(robot_map::kKeyPath, robot_map::kKeyId);
    if (key == -1) {
      std::printf("[robotMap::robotMap] Get ftok key failed!,exit\n");
      std::fflush(stdout);
      continue;
    }
    const int id = shmget(key, robot_map::kSize, robot_map::kShmFlag);
    if (id == -1) {
      std::printf("[robotMap::robotMap] create shm is failed. shmid == -1\n");
      std::fflush(stdout);
      continue;
    }
    void* at = shmat(id, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) {
      std::printf("[robotMap::robotMap] create shm is failed. shmat == -1\n");
      std::fflush(stdout);
      continue;
    }
    key_ = key;
    shmid_ = id;
    entry_ = static_cast<char*>(at);
    break;
  }
  std::printf("[robotMap::robotMap] create shm success,key:%d;shmid:%d;shm entry:%p,size:%d\n", key_, shmid_,
              static_cast<void*>(entry_), static_cast<int>(robot_map::kSize));
  std::fflush(stdout);
}

// Only the control area is ever cleared, and only by the first program that
// finds no magic; the rest of the memory outlives every program.
void robotMap::initControlArea() {
  if (loadWord(robot_map::kMagic) == robot_map::kMagicValue) return;
  std::memset(entry_ + robot_map::kMagic, 0, robot_map::kControlAreaSize);
  storeWord(robot_map::kMagic, robot_map::kMagicValue);
  std::printf("[robotMap::robotMap]  init this memory\n");
  std::fflush(stdout);
}
