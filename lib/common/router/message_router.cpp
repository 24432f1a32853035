#include "common/router/message_router.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "common/thread/cpu_pinning.h"
#include "log/line_log.h"

namespace zelor::modules::router {

namespace {

constexpr unsigned kListenCpu = 1;
constexpr auto kListenPause = std::chrono::milliseconds(10);
constexpr auto kWatchPause = std::chrono::milliseconds(50);
constexpr auto kStopGrace = std::chrono::milliseconds(300);
constexpr int kPrefixBytes = 2;
constexpr int kCommandHeaderBytes = 4;  // length and type
constexpr size_t kPidBytes = 4;

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

uint32_t le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

int runShell(const char* command) { return std::system(command); }

}  // namespace

// Never destroyed: detached threads (the router's own, the data server's
// Lua service) may still use it while the program's statics go away.
MessageRouter* MessageRouter::Instance() {
  static MessageRouter* const router = new MessageRouter();
  return router;
}

MessageRouter::MessageRouter() : segment_(kSegmentId) {}

MessageRouter::~MessageRouter() = default;

int MessageRouter::Write(unsigned char channel, const void* data, unsigned short len) {
  const size_t frameBytes = size_t{len} + kPrefixBytes;
  if (frameBytes > kMaxFrame || (data == nullptr && len > 0)) {
    ZLOG_ERROR("channel %u: message of %u bytes refused", static_cast<unsigned>(channel), static_cast<unsigned>(len));
    return 0;
  }
  // Each call frames in its own buffer: writers on other threads never mix.
  std::vector<uint8_t> frame(frameBytes);
  frame[0] = static_cast<uint8_t>(len >> 8);
  frame[1] = static_cast<uint8_t>(len & 0xFF);
  if (len > 0) std::memcpy(frame.data() + kPrefixBytes, data, len);
  if (segment_.Write(channel, frame.data(), static_cast<unsigned short>(frameBytes)) != 1) return 0;
  return static_cast<int>(frameBytes);
}

int MessageRouter::Read(unsigned char channel, void* out, size_t capacity) {
  return segment_.Read(channel, out, capacity);
}

int MessageRouter::ReadNoBlock(unsigned char channel, void* out, size_t capacity) {
  return segment_.ReadNoBlock(channel, out, capacity);
}

int MessageRouter::PackDataToCodeSys(unsigned short type, const void* data, unsigned short len, void* out) {
  auto* bytes = static_cast<uint8_t*>(out);
  bytes[0] = static_cast<uint8_t>(type >> 8);
  bytes[1] = static_cast<uint8_t>(type & 0xFF);
  bytes[2] = static_cast<uint8_t>(len >> 8);
  bytes[3] = static_cast<uint8_t>(len & 0xFF);
  if (len > 0) std::memcpy(bytes + 4, data, len);
  return len + 4;
}

int MessageRouter::OpenShm() {
  if (segment_.Create()) {
    std::printf("MessageRouter::OpenShm success!\n");
    return 1;
  }
  std::printf("MessageRouter::OpenShm fail!\n");
  return 0;
}

void MessageRouter::Start() {
  if (started_.exchange(true)) return;
  std::thread(&MessageRouter::Listen, this).detach();
  std::thread(&MessageRouter::WorkLoop, this).detach();
}

void MessageRouter::Listen() {
  set_thread_to_cpu(kListenCpu);
  std::vector<uint8_t> buffer(kChannelBytes);
  for (;;) {
    std::memset(buffer.data(), 0, buffer.size());
    const int length = Read(kCommandChannel, buffer.data(), buffer.size());
    if (length > 0) OnMessage(buffer.data(), length);
    std::this_thread::sleep_for(kListenPause);
  }
}

void MessageRouter::OnMessage(const uint8_t* message, int length) {
  if (length < kCommandHeaderBytes) {
    std::printf("[OnMessage], len:%d, no command type: ignored\n", length);
    return;
  }
  const uint16_t type = be16(message + kPrefixBytes);
  std::printf("[OnMessage], len:%d, type:%d \n", length, type);
  const uint8_t* payload = message + kCommandHeaderBytes;
  const size_t payloadSize = static_cast<size_t>(length - kCommandHeaderBytes);
  switch (type) {
    case kRunCommand:
      runCommandLine(payload, payloadSize);
      break;
    case kStopLua:
      stopLua();
      break;
    case kReboot:
      runShell("reboot");
      break;
    case kClearEnabled:
      enabled_ = 0;
      break;
    case kNetCommand:
      runNetCommand(payload, payloadSize);
      break;
    default:
      break;
  }
}

void MessageRouter::runCommandLine(const uint8_t* payload, size_t size) {
  if (luaRunning_.load() != 0) {
    std::printf("lua is ing! not restart!\n");
    return;
  }
  // A cut line could be another command: an over-long one runs nothing.
  if (size > kMaxRunPayload) {
    std::printf("[MessageRouter::OnMessage] command line of %zu bytes refused (at most %zu)\n", size, kMaxRunPayload);
    return;
  }
  char command[kMaxRunPayload + 1] = {};
  std::memcpy(command, payload, size);
  std::printf("[MessageRouter::OnMessage] cmd: %s\n", command);
  std::fflush(stdout);
  if (runShell(command) == 0) luaRunning_ = 1;
}

void MessageRouter::runNetCommand(const uint8_t* payload, size_t size) {
  if (size > kMaxNetPayload) {
    std::printf("[MessageRouter::OnMessage] network command of %zu bytes refused (at most %zu)\n", size,
                kMaxNetPayload);
    return;
  }
  char command[kMaxNetPayload + 1] = {};
  std::memcpy(command, payload, size);
  std::fflush(stdout);
  runShell(command);
  std::printf("do SET_NET cmd: %s.\n", command);
}

void MessageRouter::stopLua() {
  const uint32_t pid = luaPid_.load();
  if (pid == 0) {
    luaRunning_ = 0;
    return;
  }
  std::printf("[MessageRouter::OnMessage] kill process[%d]save\n", static_cast<int>(pid));
  kill(static_cast<pid_t>(pid), SIGUSR1);
  std::this_thread::sleep_for(kStopGrace);
  if (luaPid_.load() == pid) {
    std::printf("[MessageRouter::OnMessage] kill process[%d]stop\n", static_cast<int>(pid));
    if (kill(static_cast<pid_t>(pid), SIGKILL) != 0) std::printf("process[%d] wasnt exit\n", static_cast<int>(pid));
  } else if (luaPid_.load() == 0) {
    luaRunning_ = 0;
  }
}

void MessageRouter::WorkLoop() {
  for (;;) {
    uint8_t message[64];
    const int length = Read(kLuaPidChannel, message, sizeof message);
    if (length > 0) takeLuaPid(message, length);
    watchLua();
    std::this_thread::sleep_for(kWatchPause);
  }
}

void MessageRouter::takeLuaPid(const uint8_t* message, int length) {
  if (static_cast<size_t>(length - kPrefixBytes) < kPidBytes) {
    std::printf("[MessageRouter::WorkLoop] lua pid message of %d bytes ignored\n", length);
    return;
  }
  const uint32_t pid = le32(message + kPrefixBytes);
  std::printf("len: %d, ****** lua pid : %d ******\n", length, static_cast<int>(pid));
  // kill() with a negative number signals process groups or everyone, and
  // our own pid would stop this program.
  if (pid > static_cast<uint32_t>(INT_MAX) || (pid != 0 && static_cast<pid_t>(pid) == getpid())) {
    std::printf("[MessageRouter::WorkLoop] lua pid %u refused\n", pid);
    return;
  }
  luaPid_ = pid;
}

void MessageRouter::watchLua() {
  uint8_t alive = 0;
  const uint32_t pid = luaPid_.load();
  if (pid != 0) {
    alive = kill(static_cast<pid_t>(pid), 0) == 0 ? 1 : 0;
    if (alive == 0) {
      std::printf("[STATUS]:Lua script process[%d] stopped!\n", static_cast<int>(pid));
      uint32_t expected = pid;
      luaPid_.compare_exchange_strong(expected, 0);
      luaRunning_ = 0;
    }
  }
  if (alive != lastRunStatus_.load()) {
    lastRunStatus_ = alive;
    const uint8_t status[1] = {alive};
    Write(kLuaStatusChannel, status, sizeof status);
    std::printf(" ... notify runstatus : %d\n", alive);
  }
}

}  // namespace zelor::modules::router
