#include "modbus/modbus_srv.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "common/network/local_socket.h"

ModbusSrv::ModbusSrv(const stModbusConf& conf)
    : slaveId_(conf.id), mode_(conf.mode), stopEvent_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ModbusSrv::~ModbusSrv() {
  stop();
  delete statusSocket_;
  if (stopEvent_ >= 0) close(stopEvent_);
}

void ModbusSrv::init() {
  if (tcpThread_.joinable() || rtuThread_.joinable() || statusThread_.joinable()) return;
  stopping_ = false;
  if (stopEvent_ >= 0) {
    std::uint64_t pending = 0;
    [[maybe_unused]] const ssize_t n = read(stopEvent_, &pending, sizeof pending);
  }
  std::printf("ModbusSrv mode : %s\n", mode_.c_str());
  if (mode_ == "tcp") {
    initialize();
  } else {
    initializeRtu();
  }
}

void ModbusSrv::initialize() { tcpThread_ = std::thread(&ModbusSrv::tcpServerProcess, this); }

void ModbusSrv::initializeRtu() {
  std::printf("*************** start RtuModbusSrvProcess: id: %d ********\n", slaveId_);
  delete statusSocket_;
  statusSocket_ = new zelor::common::network::LocalSocket(kStatusSocketName);
  rtuThread_ = std::thread(&ModbusSrv::rtuServerProcess, this);
  statusThread_ = std::thread(&ModbusSrv::rtuStatusProcess, this);
}

void ModbusSrv::stop() {
  stopping_ = true;
  if (stopEvent_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(stopEvent_, &one, sizeof one);
  }
  if (statusSocket_ != nullptr) statusSocket_->stop();
  for (std::thread* t : {&tcpThread_, &rtuThread_, &statusThread_}) {
    if (t->joinable()) t->join();
  }
}
