#include "subProcess/debug/debug_sub_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/event.h>
#include <event2/listener.h>

#include "common/network/listen_address.h"
#include "log/line_log.h"
#include "subProcess/core/kernel_log_drain.h"

DebugSubProcess::DebugSubProcess(int port, int size) : port_(port), size_(size) {
  queue_ = msgget(kQueueKey, IPC_CREAT | 0666);
  if (queue_ < 0) {
    ZLOG_ERROR("msgget failed with error: %d", errno);
  } else {
    msqid_ds info{};
    if (msgctl(queue_, IPC_STAT, &info) == 0) {
      info.msg_qbytes = static_cast<msglen_t>(std::max(size_, 1)) * kLineBytes;
      if (msgctl(queue_, IPC_SET, &info) != 0) ZLOG_ERROR("msgctl(IPC_SET) failed: %s", std::strerror(errno));
    }
  }
  sendBuffer_ = static_cast<char*>(std::calloc(kSendBufferBytes, 1));
  status_ = kNotRunning;
  setKernelLineForward(this, &DebugSubProcess::forwardKernelLine);
}

DebugSubProcess::~DebugSubProcess() {
  setKernelLineForward(nullptr, nullptr);
  run_ = false;
  activity_.stopActivity();
  freeClients();
  if (queue_ >= 0 && msgctl(queue_, IPC_RMID, nullptr) != 0) ZLOG_ERROR("msgctl(IPC_RMID) failed");
  std::free(sendBuffer_);
  sendBuffer_ = nullptr;
}

void DebugSubProcess::start() {
  status_ = kNotRunning;
  run_ = true;
  if (activity_.started()) {
    status_ = kRunning;
    return;
  }
  status_ = kRunning;
  activity_.startActivity("DebugSubProcess");
}

void DebugSubProcess::stop() {
  run_ = false;
  activity_.stopActivity();
  freeClients();
}

int DebugSubProcess::debug(const char* text) {
  if (text == nullptr) return -1;
  QueueMessage message;
  message.type = 1;
  const std::size_t n = strnlen(text, kLineBytes);
  std::memcpy(message.text, text, n);
  std::memset(message.text + n, 0, kLineBytes - n);
  return msgsnd(queue_, &message, kLineBytes, IPC_NOWAIT);
}

void DebugSubProcess::forwardKernelLine(void* self, const char* line) {
  static_cast<DebugSubProcess*>(self)->debug(line);
}

std::vector<DebugSubProcess::ClientBacklog> DebugSubProcess::clientBacklog() const {
  std::lock_guard<std::mutex> lock(backlogMutex_);
  return backlog_;
}

void DebugSubProcess::loop() {
  base_ = event_base_new();
  if (base_ == nullptr) {
    ZLOG_ERROR("Initialize libevent!");
    status_ = -1;
    return;
  }
  ZLOG_TRACE("Initialize libevent!");

  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port_));
  addr.sin_addr.s_addr = zelor::common::network::listenAddressIPv4();
  listener_ = evconnlistener_new_bind(base_, &DebugSubProcess::onAccept, this,
                                      LEV_OPT_CLOSE_ON_FREE | LEV_OPT_REUSEABLE, kBacklog,
                                      reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  if (listener_ == nullptr) {
    ZLOG_ERROR("Could not create a listener!");
    status_ = -1;
    event_base_free(base_);
    base_ = nullptr;
    return;
  }
  ZLOG_TRACE("Listen port:%d", port_);

  forwardTimer_ = event_new(base_, -1, EV_PERSIST, &DebugSubProcess::onForwardTimer, this);
  stopTimer_ = event_new(base_, -1, EV_PERSIST, &DebugSubProcess::onStopCheck, this);
  const timeval forwardPeriod{0, kForwardUs};
  const timeval stopPeriod{kStopCheckUs / 1000000, kStopCheckUs % 1000000};
  if (forwardTimer_ != nullptr) event_add(forwardTimer_, &forwardPeriod);
  if (stopTimer_ != nullptr) event_add(stopTimer_, &stopPeriod);

  event_base_dispatch(base_);

  // The clients' buffer events belong to the base: freed before it.
  freeClients();
  if (forwardTimer_ != nullptr) event_free(forwardTimer_);
  if (stopTimer_ != nullptr) event_free(stopTimer_);
  forwardTimer_ = stopTimer_ = nullptr;
  evconnlistener_free(listener_);
  listener_ = nullptr;
  event_base_free(base_);
  base_ = nullptr;
  status_ = 1;
}

void DebugSubProcess::forward() {
  std::memset(sendBuffer_, 0, kSendBufferBytes);
  std::size_t used = 0;
  QueueMessage message;
  // At most kLinesPerTick whole lines, which always fit the buffer; the rest
  // waits in the queue for the next tick.
  for (int lines = 0; lines < kLinesPerTick && used + kLineBytes < kSendBufferBytes; ++lines) {
    const ssize_t got = msgrcv(queue_, &message, kLineBytes, 1, IPC_NOWAIT | MSG_NOERROR);
    if (got < 0) break;
    const std::size_t n = strnlen(message.text, static_cast<std::size_t>(got));
    std::memcpy(sendBuffer_ + used, message.text, n);
    used += n;
  }
  if (used > 0) {
    for (auto it = clients_.cbegin(); it != clients_.cend(); ++it) {
      bufferevent* bev = it.key();
      // A client that stopped reading loses lines, as the queue does.
      if (evbuffer_get_length(bufferevent_get_output(bev)) > kMaxPendingOutput) continue;
      bufferevent_write(bev, sendBuffer_, used);
    }
  }
  recordBacklog();
}

void DebugSubProcess::recordBacklog() {
  std::vector<ClientBacklog> now;
  now.reserve(static_cast<std::size_t>(clients_.size()));
  for (auto it = clients_.cbegin(); it != clients_.cend(); ++it) {
    now.push_back({evbuffer_get_length(bufferevent_get_input(it.key())),
                   evbuffer_get_length(bufferevent_get_output(it.key()))});
  }
  std::lock_guard<std::mutex> lock(backlogMutex_);
  backlog_.swap(now);
}

void DebugSubProcess::addClient(int fd) {
  auto* item = static_cast<debug_client_item*>(std::malloc(sizeof(debug_client_item)));
  if (item == nullptr) {
    ZLOG_ERROR("Malloc");
    evutil_closesocket(fd);
    return;
  }
  item->fd = fd;
  bufferevent* bev = bufferevent_socket_new(base_, fd, BEV_OPT_CLOSE_ON_FREE);
  if (bev == nullptr) {
    ZLOG_WARN("Error constructing bufferevent!");
    std::free(item);
    evutil_closesocket(fd);
    return;
  }
  bufferevent_setcb(bev, &DebugSubProcess::onRead, nullptr, &DebugSubProcess::onEvent, this);
  bufferevent_enable(bev, EV_READ | EV_WRITE);
  clients_.insert(bev, item);
  ZLOG_TRACE("New client arrived, current count:%d.", static_cast<int>(clients_.size()));
}

void DebugSubProcess::removeClient(bufferevent* bev) {
  std::free(clients_.take(bev));
  bufferevent_free(bev);
}

void DebugSubProcess::freeClients() {
  for (auto it = clients_.cbegin(); it != clients_.cend(); ++it) {
    std::free(it.value());
    bufferevent_free(it.key());
  }
  clients_.clear();
  std::lock_guard<std::mutex> lock(backlogMutex_);
  backlog_.clear();
}

void DebugSubProcess::onAccept(evconnlistener*, int fd, struct sockaddr*, int, void* self) {
  static_cast<DebugSubProcess*>(self)->addClient(fd);
}

void DebugSubProcess::onRead(bufferevent* bev, void*) {
  evbuffer* in = bufferevent_get_input(bev);
  evbuffer_drain(in, evbuffer_get_length(in));
}

void DebugSubProcess::onEvent(bufferevent* bev, short events, void* self) {
  if ((events & BEV_EVENT_EOF) != 0) {
    ZLOG_ERROR("Connection closed.");
  } else if ((events & BEV_EVENT_ERROR) != 0) {
    ZLOG_ERROR("Got an error on the connection: %s", std::strerror(errno));
  } else {
    return;
  }
  static_cast<DebugSubProcess*>(self)->removeClient(bev);
}

void DebugSubProcess::onForwardTimer(int, short, void* self) {
  auto* debug = static_cast<DebugSubProcess*>(self);
  if (debug->sendBuffer_ != nullptr) debug->forward();
}

void DebugSubProcess::onStopCheck(int, short, void* self) {
  auto* debug = static_cast<DebugSubProcess*>(self);
  if (debug->sendBuffer_ != nullptr && !debug->run_) event_base_loopexit(debug->base_, nullptr);
}
