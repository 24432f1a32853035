#include "orphan_reaper.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace zelor::test {

namespace {

constexpr auto kScanPause = std::chrono::milliseconds(10);

std::mutex gOwnMutex;
std::set<pid_t>& ownChildren() {
  static std::set<pid_t> children;
  return children;
}

bool isOwn(pid_t pid) {
  std::lock_guard<std::mutex> lock(gOwnMutex);
  return ownChildren().count(pid) != 0;
}

// Zombies whose parent is this process.
std::set<pid_t> zombieChildren() {
  std::set<pid_t> found;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return found;
  const pid_t self = getpid();
  while (dirent* entry = readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    const std::string path = std::string("/proc/") + entry->d_name + "/stat";
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) continue;
    char line[512] = {};
    const size_t n = std::fread(line, 1, sizeof line - 1, f);
    std::fclose(f);
    line[n] = '\0';
    // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
    const char* close = std::strrchr(line, ')');
    char state = 0;
    long ppid = 0;
    if (close == nullptr || std::sscanf(close + 1, " %c %ld", &state, &ppid) != 2) continue;
    if (state == 'Z' && ppid == self) found.insert(static_cast<pid_t>(pid));
  }
  closedir(proc);
  return found;
}

}  // namespace

void registerOwnChild(pid_t pid) {
  if (pid <= 0) return;
  std::lock_guard<std::mutex> lock(gOwnMutex);
  ownChildren().insert(pid);
}

void forgetOwnChild(pid_t pid) {
  std::lock_guard<std::mutex> lock(gOwnMutex);
  ownChildren().erase(pid);
}

OrphanReaper::OrphanReaper() : thread_(&OrphanReaper::run, this) {}

OrphanReaper::~OrphanReaper() {
  stop_ = true;
  thread_.join();
}

void OrphanReaper::run() {
  // A zombie is reaped only when it was unregistered in two scans in a row:
  // an owner registers its child right after fork, long before the next scan.
  std::set<pid_t> seen;
  while (!stop_.load()) {
    std::set<pid_t> candidates;
    for (const pid_t pid : zombieChildren()) {
      if (isOwn(pid)) continue;
      if (seen.count(pid) != 0) {
        waitpid(pid, nullptr, WNOHANG);
      } else {
        candidates.insert(pid);
      }
    }
    seen = std::move(candidates);
    std::this_thread::sleep_for(kScanPause);
  }
}

}  // namespace zelor::test
