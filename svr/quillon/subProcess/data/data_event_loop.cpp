#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <event2/event.h>
#include <event2/http.h>

#include "common/network/listen_address.h"
#include "common/thread/cpu_pinning.h"
#include "install_paths.h"
#include "json/parameter_globals.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"

namespace {

constexpr int kBacklog = 5;
constexpr ev_ssize_t kMaxBodySize = 1 << 20;
constexpr ev_ssize_t kMaxHeadersSize = 64 << 10;
// A connection that sends or takes nothing for this long is closed.
constexpr int kConnectionTimeoutS = 10;
constexpr int kDuty200ms = -3;
constexpr int kDuty2s = -2;
constexpr int kDuty50ms = -4;

event* addTimer(event_base* base, int fd, long usec, DataSubProcess* server) {
  event* ev = event_new(base, fd, EV_PERSIST, &DataSubProcess::conn_timeout, server);
  if (ev == nullptr) return nullptr;
  timeval tv{usec / 1000000, usec % 1000000};
  event_add(ev, &tv);
  return ev;
}

}  // namespace

int DataSubProcess::openListener() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(param_.port));
  addr.sin_addr.s_addr = zelor::common::network::listenAddressIPv4();
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || listen(fd, kBacklog) < 0) {
    close(fd);
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    close(fd);
    return -1;
  }
  if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0) {
    DATA_LOG(kInfo, "Consensus-side: TCP_NODELAY SETTING OK!");
  } else {
    DATA_LOG(kError, "Consensus-side: TCP_NODELAY SETTING ERROR!");
  }
  return fd;
}

// Repeated until the kernel answers; a stop between attempts ends it (each
// attempt waits at most the exchange's 2 s). It waits for start()'s set-up:
// a project reader built there sets the collision switch from the file and
// would undo a level 0's clearing.
void DataSubProcess::sendThresholds() {
  while (loopRun_.load() && !setUpDone_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  while (loopRun_.load()) {
    tagTorDiffParams* thresholds = jsonReader.GetTorDiffParams();
    Packet* reply = alloc_SetTorDiffParams(thresholds, false);
    if (reply != nullptr) {
      freePluginPacket(reply);
      return;
    }
  }
}

void DataSubProcess::receiveDataProcess() {
  set_thread_to_cpu(0);

  const int listener = openListener();
  if (listener < 0) DATA_LOG(kError, "cannot listen on port {}", param_.port);

  base_ = event_base_new();
  if (base_ == nullptr) {
    DATA_LOG(kError, "Initialize libevent!");
    status_ = -1;
    if (listener >= 0) close(listener);
    return;
  }
  DATA_LOG(kInfo, "Initialize libevent!");

  http_ = evhttp_new(base_);
  if (http_ == nullptr) {
    DATA_LOG(kError, "couldn't create evhttp. Exiting.");
    event_base_free(base_);
    base_ = nullptr;
    if (listener >= 0) close(listener);
    return;
  }
  evhttp_set_max_body_size(http_, kMaxBodySize);
  evhttp_set_max_headers_size(http_, kMaxHeadersSize);
  evhttp_set_timeout(http_, kConnectionTimeoutS);
  // Once accepted, the listening socket belongs to the evhttp object.
  int ownListener = listener;
  if (listener >= 0 && evhttp_accept_socket(http_, listener) == 0) ownListener = -1;
  evhttp_set_gencb(http_, &HttpDispatcher::conn_req_dir, &dispatcher_);

  const std::string modbusIo = std::string(zelor::paths::kProjectDir) + "/settings/function/modbus_io_config.json";
  if (access(modbusIo.c_str(), F_OK) == 0) timer50_ = addTimer(base_, kDuty50ms, 50000, this);
  timer200_ = addTimer(base_, kDuty200ms, 200000, this);
  timer2s_ = addTimer(base_, kDuty2s, 2000000, this);

  sendThresholds();

  serverReady_ = true;
  if (loopRun_.load()) event_base_dispatch(base_);

  DATA_LOG(kError, "http serves is closing!!");
  serverReady_ = false;
  for (event** ev : {&timer50_, &timer200_, &timer2s_}) {
    if (*ev != nullptr) event_free(*ev);
    *ev = nullptr;
  }
  evhttp_free(http_);
  http_ = nullptr;
  if (ownListener >= 0) close(ownListener);
  event_base_free(base_);
  base_ = nullptr;
  status_ = 1;
}
