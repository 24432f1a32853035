// Port 6000: relaying the app's messages to the PLC side and back.
#include "service/app_protocol.h"

#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "common/router/message_router.h"

namespace zelor::modules::service {

namespace {

using router::MessageRouter;
using Bytes = std::vector<std::uint8_t>;

constexpr int kBodyAt = static_cast<int>(AppProtocol::kHeaderBytes);
constexpr std::size_t kAnswerHeaderBytes = 6;
// A cycle's request leaves out body bytes 0 to 2 (mode and two more).
constexpr int kCycleSkip = 3;

unsigned short be16(const std::uint8_t* at) { return static_cast<unsigned short>(at[0] << 8 | at[1]); }

// The whole answer, or as much as the app took; never SIGPIPE.
void sendAll(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t sent = 0;
  while (sent < size) {
    const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

// Reads channel 27 up to tries times, sleeping after each empty read: the
// frame's length, or 0.
int awaitAnswer(std::uint8_t* frame, int tries, int intervalMs) {
  for (int i = 0; i < tries; ++i) {
    const int got = MessageRouter::Instance()->Read(AppProtocol::kAnswerChannel, frame, AppProtocol::kAnswerFrameBytes);
    if (got > 0) return got;
    std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
  }
  return 0;
}

void printReply(const char* name, const std::uint8_t* frame, int length) {
  std::printf("[AppProtocol::%s]: reply len: %d\n", name, length);
  for (int i = 0; i < length; ++i) std::printf("%02x ", frame[i]);
  std::printf("\n");
}

Bytes answerOf(const std::uint8_t* header, const std::uint8_t* frame, std::size_t frameLength) {
  Bytes answer(header, header + kAnswerHeaderBytes);
  answer.insert(answer.end(), frame, frame + frameLength);
  return answer;
}

// A request frame of frameBytes fits the fixed request buffer.
bool fits(const char* name, std::size_t frameBytes) {
  if (frameBytes <= AppProtocol::kFrameBytes) return true;
  std::printf("[AppProtocol::%s] request of %zu bytes over %zu, connection closed.\n", name, frameBytes,
              AppProtocol::kFrameBytes);
  return false;
}

}  // namespace

// One relay: what goes on channel 26 and how long channel 27 is waited for.
struct AppProtocol::Relay {
  const char* name;
  unsigned short type;
  bool raw;                // message bytes 4 on, as they are
  int dataAt;              // else [type][dataLength][data at dataAt]
  int dataLength;
  int tries;
  int intervalMs;
  std::size_t timeoutBytes;  // 0: no answer on a time-out
  bool replyToAppLine;
};

int AppProtocol::WriteToCodeSys(unsigned short type, unsigned char channel, const void* data, unsigned short len) {
  std::uint8_t frame[kFrameBytes] = {};
  if (len + 4u > sizeof frame) return 0;
  const int length = MessageRouter::PackDataToCodeSys(type, data, len, frame);
  return MessageRouter::Instance()->Write(channel, frame, static_cast<unsigned short>(length));
}

bool AppProtocol::OnMessage(int fd, const std::uint8_t* message, int length) {
  if (length <= kBodyAt || static_cast<std::size_t>(length) > kMessageBytes ||
      be16(message + 6) != length - kBodyAt) {
    std::printf("[AppProtocol::OnMessage] malformed message of %d bytes\n", length);
    return false;
  }
  switch (be16(message + 4)) {
    case 1:
      OnHeartbeat(fd, message, length);
      return true;
    case 2:
      return OnConfig(fd, message, length);
    case 3:
      return OnTransparent(fd, message, length);
    case 4:
      return OnIoAoABZ(fd, message, length);
    case 5:
      return OnSetTCP(fd, message, length);
    case 6:
      return OnScanTCP(fd, message, length);
    case 7:
      return OnTransTCP(fd, message, length);
    case 8:
      return OnStopTCP(fd, message, length);
    case 9:
      return OnEndDevInfo(fd, message, length);
    case 10:
      return OnConfigSpiTCP(fd, message, length);
    case 11:
      return OnSpiTCP(fd, message, length);
    default:
      return true;
  }
}

void AppProtocol::OnHeartbeat(int fd, const std::uint8_t* message, int length) {
  m_silence_count = 0;
  sendAll(fd, message, static_cast<std::size_t>(length));
}

bool AppProtocol::OnConfig(int fd, const std::uint8_t* message, int length) {
  return relayOnce(fd, message, Relay{"OnConfig", 2, true, 4, length - 4, 3, 50, 8, false});
}

bool AppProtocol::OnConfigSpiTCP(int fd, const std::uint8_t* message, int length) {
  return relayOnce(fd, message, Relay{"OnConfigSpiTCP", 10, true, 4, length - 4, 3, 50, 8, false});
}

bool AppProtocol::OnSetTCP(int fd, const std::uint8_t* message, int length) {
  return relayOnce(fd, message, Relay{"OnSetTCP", 5, false, kBodyAt, length - kBodyAt, 3, 50, 8, false});
}

bool AppProtocol::OnScanTCP(int fd, const std::uint8_t* message, int length) {
  return relayOnce(fd, message, Relay{"OnScanTCP", 6, false, kBodyAt, length - kBodyAt, 3, 50, 8, false});
}

bool AppProtocol::OnStopTCP(int fd, const std::uint8_t* message, int length) {
  return relayOnce(fd, message, Relay{"OnStopTCP", 8, false, kBodyAt, length - kBodyAt, 3, 50, 8, false});
}

bool AppProtocol::OnEndDevInfo(int fd, const std::uint8_t* message, int /*length*/) {
  m_end_device = message[kBodyAt];
  return relayOnce(fd, message, Relay{"OnEndDevInfo", 9, false, kBodyAt, 1, 3, 50, 7, true});
}

bool AppProtocol::OnSpiTCP(int fd, const std::uint8_t* message, int length) {
  std::printf("[AppProtocol::OnSpiTCP] m_cycle_flag:%d...........\n", m_cycle_flag.load());
  std::printf("[AppProtocol::OnSpiTCP]: Write To CodeSys, count: %d\n", 0);
  const bool relayed = relayOnce(fd, message, Relay{"OnSpiTCP", 11, false, kBodyAt + 1, length - kBodyAt - 1, 15, 50, 0, false});
  std::puts("exit AppProtocol::OnSpiTCP .");
  return relayed;
}

bool AppProtocol::OnTransparent(int fd, const std::uint8_t* message, int length) {
  return relayModal(fd, message, length, Relay{"OnTransparent", 3, false, kBodyAt + 1, length - kBodyAt - 1, 5, 100, 8, false},
                    Cycle::kTransparent);
}

bool AppProtocol::OnIoAoABZ(int fd, const std::uint8_t* message, int length) {
  return relayModal(fd, message, length, Relay{"OnIoAoABZ", 4, false, kBodyAt + 1, length - kBodyAt - 1, 5, 100, 8, false},
                    Cycle::kIoAoABZ);
}

bool AppProtocol::OnTransTCP(int fd, const std::uint8_t* message, int length) {
  return relayModal(fd, message, length, Relay{"OnTransTCP", 7, false, kBodyAt + 1, length - kBodyAt - 1, 3, 50, 8, false},
                    Cycle::kTcp);
}

bool AppProtocol::relayOnce(int fd, const std::uint8_t* message, const Relay& relay) {
  const std::size_t frameBytes = relay.raw ? static_cast<std::size_t>(relay.dataLength) : 4u + relay.dataLength;
  if (!fits(relay.name, frameBytes)) return false;
  std::uint8_t frame[kFrameBytes];
  int got = 0;
  {
    std::lock_guard lock(relayMutex_);
    if (relay.raw) {
      MessageRouter::Instance()->Write(kRequestChannel, message + relay.dataAt, static_cast<unsigned short>(relay.dataLength));
    } else {
      WriteToCodeSys(relay.type, kRequestChannel, message + relay.dataAt, static_cast<unsigned short>(relay.dataLength));
    }
    got = awaitAnswer(frame, relay.tries, relay.intervalMs);
  }
  if (got > 0) {
    printReply(relay.name, frame, got);
    if (relay.replyToAppLine) std::printf("[AppProtocol::%s]: reply to app\n", relay.name);
    const Bytes answer = answerOf(message, frame, static_cast<std::size_t>(got));
    sendAll(fd, answer.data(), answer.size());
    return true;
  }
  std::printf("[AppProtocol::%s] timeout 150ms, no data !!!!!!!!!\n", relay.name);
  if (relay.timeoutBytes > 0) {
    if (relay.replyToAppLine) std::printf("[AppProtocol::%s]: reply to app\n", relay.name);
    Bytes answer(message, message + kAnswerHeaderBytes);
    answer.resize(relay.timeoutBytes, 0);
    sendAll(fd, answer.data(), answer.size());
  }
  return true;
}

std::atomic<std::uint8_t>& AppProtocol::flagOf(Cycle cycle) {
  switch (cycle) {
    case Cycle::kIoAoABZ:
      return m_ioaoabz_cycle_flag;
    case Cycle::kTcp:
      return m_tcp_cycle_flag;
    case Cycle::kTransparent:
      break;
  }
  return m_cycle_flag;
}

bool AppProtocol::relayModal(int fd, const std::uint8_t* message, int length, const Relay& relay, Cycle cycle) {
  const int mode = message[kBodyAt];
  std::atomic<std::uint8_t>& flag = flagOf(cycle);
  switch (mode) {
    case 0:
      std::printf("[AppProtocol::%s] mode is 0\n", relay.name);
      return relayOnce(fd, message, relay);
    case 1: {
      std::printf("[AppProtocol::%s] mode is 1\n", relay.name);
      if (flag != 0) {
        std::printf("[AppProtocol::%s] mode cycle is ing, return\n", relay.name);
        return true;
      }
      if (length - kBodyAt < kCycleSkip) {
        std::printf("[AppProtocol::%s] body of %d bytes, too short for a cycle: not started\n", relay.name,
                    length - kBodyAt);
        return true;
      }
      if (!fits(relay.name, static_cast<std::size_t>(length))) return false;
      std::uint32_t connection = 0;
      {
        std::lock_guard lock(connectionMutex_);
        connection = connection_;
      }
      auto copy = std::make_shared<Bytes>(message, message + length);
      flag = 1;
      try {
        std::thread([this, cycle, connection, fd, copy] { runCycle(cycle, connection, fd, *copy); }).detach();
      } catch (const std::system_error& error) {
        std::printf("[AppProtocol::%s] no thread for the cycle: %s\n", relay.name, error.what());
        flag = 0;
      }
      return true;
    }
    case 2:
      flag = 0;
      if (cycle == Cycle::kTransparent) m_end_device = 0;
      return true;
    default:
      return true;
  }
}

void AppProtocol::runCycle(Cycle cycle, std::uint32_t connection, int fd, const Bytes& message) {
  static constexpr const char* kNames[] = {"TransportCycle", "TransportIoAoABZCycle", "TransportTCPCycle"};
  const char* name = kNames[static_cast<int>(cycle)];
  const bool transparent = cycle == Cycle::kTransparent;
  const auto pause = transparent ? std::chrono::milliseconds(200) : std::chrono::milliseconds(1000);
  const unsigned short type = be16(message.data() + 4);
  const std::uint8_t* data = message.data() + kBodyAt + kCycleSkip;
  const auto dataLength = static_cast<unsigned short>(message.size() - kBodyAt - kCycleSkip);
  const bool everyPass = !transparent || m_end_device == 0;
  std::atomic<std::uint8_t>& flag = flagOf(cycle);
  for (bool first = true; flag != 0; first = false) {
    if (first || everyPass) {
      std::uint8_t frame[kFrameBytes];
      int got = 0;
      {
        std::lock_guard lock(relayMutex_);
        WriteToCodeSys(type, kRequestChannel, data, dataLength);
        got = awaitAnswer(frame, 3, 50);
      }
      if (got > 0) {
        if (!transparent) printReply(name, frame, got);
        const Bytes answer = answerOf(message.data(), frame, static_cast<std::size_t>(got));
        answerConnection(connection, fd, answer.data(), answer.size());
      } else if (transparent) {
        std::printf("[AppProtocol::%s] timeout 150ms, no data !!!!!!!!!\n", name);
      }
    }
    std::this_thread::sleep_for(pause);
  }
  std::printf("exit AppProtocol::%s .\n", name);
}

void AppProtocol::answerConnection(std::uint32_t connection, int fd, const std::uint8_t* data, std::size_t size) {
  std::lock_guard lock(connectionMutex_);
  if (m_connected != 0 && connection == connection_) sendAll(fd, data, size);
}

}  // namespace zelor::modules::service
