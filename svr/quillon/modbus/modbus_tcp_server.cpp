#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/ipc/robot_map.h"
#include "common/network/listen_address.h"
#include "modbus/modbus_srv.h"

namespace {

constexpr int kBacklog = 5;

// The table set whose arrays are the status memory's windows.
modbus_mapping_t* mapWindows() {
  modbus_mapping_t* m = modbus_mapping_new(ModbusSrv::kTcpTableEntries, ModbusSrv::kTcpTableEntries,
                                           ModbusSrv::kTcpTableEntries, ModbusSrv::kTcpTableEntries);
  if (m == nullptr) return nullptr;
  char* base = robotMap::instance().entry();
  std::free(m->tab_bits);
  std::free(m->tab_input_bits);
  std::free(m->tab_input_registers);
  std::free(m->tab_registers);
  m->tab_bits = reinterpret_cast<std::uint8_t*>(base + robot_map::kCoils);
  m->tab_input_bits = reinterpret_cast<std::uint8_t*>(base + robot_map::kDiscreteInputs);
  m->tab_input_registers = reinterpret_cast<std::uint16_t*>(base + robot_map::kInputRegisters);
  m->tab_registers = reinterpret_cast<std::uint16_t*>(base + robot_map::kHoldingRegisters);
  return m;
}

}  // namespace

void ModbusSrv::tcpServerProcess() {
  tcpCtx_ = modbus_new_tcp(zelor::common::network::listenAddress().c_str(), kTcpPort);
  modbus_mapping_t* mapping = tcpCtx_ != nullptr ? mapWindows() : nullptr;
  if (mapping == nullptr) {
    std::fprintf(stderr, "Failed to allocate the mapping: %s\n", modbus_strerror(errno));
    if (tcpCtx_ != nullptr) modbus_free(tcpCtx_);
    tcpCtx_ = nullptr;
    return;
  }
  tcpTables_.store(mapping, std::memory_order_release);

  listenFd_ = modbus_tcp_listen(tcpCtx_, kBacklog);
  if (listenFd_ == -1) {
    std::fprintf(stderr, "Unable to listen TCP connection\n");
    tcpTables_.store(nullptr, std::memory_order_release);
    std::free(mapping);  // the record only: its arrays are shared memory
    modbus_free(tcpCtx_);
    tcpCtx_ = nullptr;
    return;
  }

  // The stop event sits in the set beside the listener and is never a client.
  fd_set refset;
  FD_ZERO(&refset);
  FD_SET(listenFd_, &refset);
  int fdmax = listenFd_;
  const int wake = stopEvent_ >= 0 && stopEvent_ < FD_SETSIZE ? stopEvent_ : -1;
  if (wake >= 0) {
    FD_SET(wake, &refset);
    if (wake > fdmax) fdmax = wake;
  }
  const int firstClientLimit = std::max(listenFd_, wake);
  std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  while (!stopping_.load()) {
    fd_set rdset = refset;
    if (select(fdmax + 1, &rdset, nullptr, nullptr, nullptr) == -1) {
      if (errno == EINTR) continue;
      std::perror("Server select() failure.");
      break;
    }
    if (wake >= 0 && FD_ISSET(wake, &rdset)) break;
    for (int fd = 0; fd <= fdmax; ++fd) {
      if (!FD_ISSET(fd, &rdset)) continue;
      if (fd == listenFd_) {
        sockaddr_in addr{};
        socklen_t addrlen = sizeof addr;
        const int client = accept(listenFd_, reinterpret_cast<sockaddr*>(&addr), &addrlen);
        if (client == -1) {
          std::perror("Server accept() error");
          continue;
        }
        if (client >= FD_SETSIZE) {
          // select cannot watch it; taking it would write past the set.
          std::printf("[%s] descriptor %d beyond the select set, connection closed\n", __func__, client);
          close(client);
          continue;
        }
        FD_SET(client, &refset);
        if (client > fdmax) fdmax = client;
        std::printf("New connection from %s:%d on socket %d\n", inet_ntoa(addr.sin_addr), addr.sin_port, client);
        std::fflush(stdout);
        continue;
      }
      modbus_set_socket(tcpCtx_, fd);
      const int rc = modbus_receive(tcpCtx_, query);
      if (rc > 0) {
        modbus_reply(tcpCtx_, query, rc, mapping);
      } else if (rc == -1) {
        close(fd);
        FD_CLR(fd, &refset);
        while (fdmax > firstClientLimit && !FD_ISSET(fdmax, &refset)) --fdmax;
      }
    }
  }

  for (int fd = 0; fd <= fdmax; ++fd) {
    if (fd != listenFd_ && fd != wake && FD_ISSET(fd, &refset)) close(fd);
  }
  close(listenFd_);
  listenFd_ = -1;
  modbus_free(tcpCtx_);
  tcpCtx_ = nullptr;
  tcpTables_.store(nullptr, std::memory_order_release);
  std::free(mapping);  // never modbus_mapping_free: its arrays are shared memory
  std::printf("exit ...\n");
  std::fflush(stdout);
}
