#include "modbus/modbus_srv.h"

#include <cstdio>
#include <thread>

ModbusSrv::ModbusSrv(const stModbusConf& conf) : slaveId_(conf.id), mode_(conf.mode) {}

void ModbusSrv::init() {
  std::printf("ModbusSrv mode : %s\n", mode_.c_str());
  if (mode_ == "tcp") {
    initialize();
  } else {
    initializeRtu();
  }
}

void ModbusSrv::initialize() { std::thread(&ModbusSrv::tcpServerProcess, this).detach(); }

void ModbusSrv::initializeRtu() {
  std::printf("*************** start RtuModbusSrvProcess: id: %d ********\n", slaveId_);
  std::thread(&ModbusSrv::rtuServerProcess, this).detach();
  std::thread(&ModbusSrv::rtuStatusProcess, this).detach();
}
