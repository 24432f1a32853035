#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

#include <QHash>

#include "subProcess/activity.h"
#include "subProcess/i_sub_process.h"

struct bufferevent;
struct event;
struct event_base;
struct evconnlistener;

// One connected client of the stream.
struct debug_client_item {
  int fd;
};

// Streams the motion kernel's log lines to any number of TCP clients. A line
// handed to debug() waits in a System V queue (never waiting itself) until
// the loop's 10 ms timer sends the queued lines to every client. What clients
// send is read and discarded.
class DebugSubProcess : public ISubProcess {
 public:
  static constexpr key_t kQueueKey = 1234;
  static constexpr int kLineBytes = 256;
  static constexpr int kLinesPerTick = 100;
  static constexpr int kSendBufferBytes = 25601;
  static constexpr int kBacklog = 10;
  static constexpr long kForwardUs = 10 * 1000;
  static constexpr long kStopCheckUs = 2 * 1000 * 1000;
  // A client with more output than this waiting is skipped until it drains.
  static constexpr std::size_t kMaxPendingOutput = 1 << 20;

  // Bytes waiting in a client's buffers after the last forward tick.
  struct ClientBacklog {
    std::size_t input = 0;
    std::size_t output = 0;
  };

  DebugSubProcess(int port, int size);
  ~DebugSubProcess() override;

  void start() override;
  void stop() override;
  const void* getParam() const override { return &port_; }

  // Queues one line (its first 256 bytes) without waiting: the result of
  // msgsnd, -1 when the queue is full and the line is dropped. Called on the
  // cycle's side: no lock, no allocation.
  int debug(const char* text);

  // The clients' backlog as of the last forward tick.
  std::vector<ClientBacklog> clientBacklog() const;

 private:
  struct QueueMessage {
    long type;
    char text[kLineBytes];
  };

  void loop();
  void forward();
  void addClient(int fd);
  void removeClient(bufferevent* bev);
  void freeClients();
  void recordBacklog();

  static void onAccept(evconnlistener* listener, int fd, struct sockaddr* addr, int len, void* self);
  static void onRead(bufferevent* bev, void* self);
  static void onEvent(bufferevent* bev, short events, void* self);
  static void onForwardTimer(int fd, short events, void* self);
  static void onStopCheck(int fd, short events, void* self);
  static void forwardKernelLine(void* self, const char* line);

  int port_;
  int size_;
  int queue_ = -1;
  char* sendBuffer_ = nullptr;
  std::atomic<bool> run_{false};
  QHash<bufferevent*, debug_client_item*> clients_;
  event_base* base_ = nullptr;
  evconnlistener* listener_ = nullptr;
  event* forwardTimer_ = nullptr;
  event* stopTimer_ = nullptr;
  mutable std::mutex backlogMutex_;
  std::vector<ClientBacklog> backlog_;
  Activity<DebugSubProcess> activity_{this, &DebugSubProcess::loop};
};
