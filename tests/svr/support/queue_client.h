#pragma once

// A command client of the data server in a process of its own: it puts one
// message on the request queue (102) and waits for a reply on queue 103, as
// the control program does.

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/protocol/queue_message.h"
#include "fork_child.h"

namespace zelor::test {

struct QueueReply {
  bool got = false;
  long mtype = 0;
  double ms = 0;  // from send to reply
  std::uint8_t body[kQueueBodySize] = {};
};

inline std::vector<std::uint8_t> commandPacket(std::uint16_t id, std::uint16_t length, std::uint8_t ctrl,
                                               const void* params = nullptr, std::size_t paramBytes = 0) {
  std::vector<std::uint8_t> body(7 + paramBytes, 0);
  body[0] = body[1] = 0xAA;
  std::memcpy(&body[2], &length, 2);
  std::memcpy(&body[4], &id, 2);
  body[6] = ctrl;
  if (paramBytes > 0) std::memcpy(&body[7], params, paramBytes);
  return body;
}

inline std::vector<std::uint8_t> textCommand(const std::string& text) {
  auto body = commandPacket(kTextCommandId, static_cast<std::uint16_t>(text.size() + 1), 0, text.c_str(),
                            text.size() + 1);
  return body;
}

inline double monotonicMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Sends body (any size) as message type mtype and waits up to timeoutMs for
// one reply. With sentNs (CLOCK_MONOTONIC) the request carries that send
// time, in a whole 2400-byte body. The child uses system calls only (the
// test process has threads).
inline QueueReply exchangeOverQueues(const std::vector<std::uint8_t>& body, int timeoutMs, long mtype = 1,
                                     std::int64_t sentNs = 0) {
  struct Big {
    long mtype;
    std::uint8_t data[16384];
  };
  static Big request;
  static QueueMessage reply;
  static QueueReply result;
  std::memset(&request, 0, sizeof request);
  request.mtype = mtype;
  std::size_t n = body.size() < sizeof request.data ? body.size() : sizeof request.data;
  std::memcpy(request.data, body.data(), n);
  if (sentNs != 0) {
    putRequestSentNs(request.data, sentNs);
    if (n < kQueueBodySize) n = kQueueBodySize;
  }
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t child = forkChild([&] {
    close(fds[0]);
    result = QueueReply{};
    const int in = msgget(ftok("/root/", kRequestQueueId), IPC_CREAT | 0666);
    const int out = msgget(ftok("/root/", kReplyQueueId), IPC_CREAT | 0666);
    const double start = monotonicMs();
    if (in < 0 || out < 0 || msgsnd(in, &request, n, 0) != 0) return 2;
    while (monotonicMs() - start < timeoutMs) {
      if (msgrcv(out, &reply, kQueueBodySize, 0, IPC_NOWAIT | MSG_NOERROR) > 0) {
        result.got = true;
        result.mtype = reply.mtype;
        result.ms = monotonicMs() - start;
        std::memcpy(result.body, reply.body, sizeof result.body);
        break;
      }
      usleep(500);
    }
    return write(fds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result) ? 0 : 3;
  });
  close(fds[1]);
  QueueReply got;
  std::size_t have = 0;
  auto* bytes = reinterpret_cast<char*>(&got);
  for (ssize_t r; have < sizeof got && (r = read(fds[0], bytes + have, sizeof got - have)) > 0;) have += r;
  close(fds[0]);
  waitExit(child);
  return have == sizeof got ? got : QueueReply{};
}

inline std::uint16_t u16At(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

}  // namespace zelor::test
