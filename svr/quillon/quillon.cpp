#include "quillon.h"

#include <fcntl.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/ipc/semlib.h"
#include "common/network/sigpipe.h"
#include "exchange/packet_exchange.h"
#include "install_paths.h"
#include "log/line_log.h"
#include "remote_control/remote_ctl.h"
#include "robot_states/robot_states.h"
#include "subProcess/i_sub_process.h"

namespace {

constexpr int kStaleObjectsKeyId = 11;

// A previous run's shared memory and semaphore set under the key are removed;
// absent ones (the usual case) are no error and print nothing.
void removeStaleObjects(key_t key) {
  const int shm = shmget(key, 0, 0);
  if (shm >= 0) shmctl(shm, IPC_RMID, nullptr);
  const int sem = semget(key, 0, 0);
  if (sem >= 0) semctl(sem, 0, IPC_RMID);
}

const char* kVersionFile = "/etc/version.conf";

void redirectStdoutToFifo() {
  std::printf("[%s] change this stream to fifo .....  \n\n\n\n\n\n", "Quillon");
  const char* fifo = zelor::paths::kFifoCodesys;
  if (access(fifo, F_OK) != 0 && mkfifo(fifo, 0777) != 0) {
    std::fprintf(stderr, "Could not create fifo %s\n", fifo);
  }
  if (std::freopen(fifo, "w+", stdout) == nullptr) {
    std::fprintf(stderr, "Could not open fifo %s: %s\n", fifo, std::strerror(errno));
    return;
  }
  const int fd = fileno(stdout);
  const int ret = fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::printf("codesys control fd = %d ,ret = %d\n", fd, ret);
  // A full FIFO loses output instead of blocking the PLC runtime's threads.
  // The block is BUFSIZ bytes although one is used: some C libraries and
  // checkers take a buffer handed to setbuffer as BUFSIZ long.
  static char buffer[BUFSIZ];
  setbuffer(stdout, buffer, 1);
}

}  // namespace

Quillon& Quillon::instance() {
  // Never destroyed: the packet-exchange thread never ends and keeps using it.
  static Quillon* quillon = new Quillon();
  return *quillon;
}

Quillon::Quillon() {
  // The data server runs inside the PLC runtime's process: a peer that closes
  // a connection while a reply is being written must not end that process.
  zelor::common::network::IgnoreSigpipe();
  setvbuf(stdout, nullptr, _IOLBF, 0);

  // The RS-232 loop-back service starts here (serial ports issue).

  std::FILE* keyFile = std::fopen(zelor::paths::kSemKeyFile, "at+");
  if (keyFile == nullptr) {
    const int error = errno;
    ZLOG_CRTCL("Can't create config file:%s", std::strerror(error));
    std::exit(error);
  }
  std::fclose(keyFile);

  removeStaleObjects(getftok(kStaleObjectsKeyId));

  redirectStdoutToFifo();
  readSetting();
  std::thread(packetExchangeProcess).detach();

  remoteCtl& remote = remoteCtl::instance();
  remote.setAlarmSource([] { return static_cast<int>(RobotStates::Instance().GetAlarm()); });
  remote.ReInit();
}

void Quillon::readSetting() { readDataSetting(zelor::paths::kDataSettings, setting_, test_port_); }

void Quillon::setSetting() { writeDataSetting(zelor::paths::kDataSettings, setting_, test_port_); }

void Quillon::init(void* rtsParam) {
  ZLOG_TRACE("Quillon starting...");
  SubProcessParam param;
  param.packet_size = setting_.packet_size;
  param.rtsParam = rtsParam;
  param.data_port = setting_.data_port;
  param.version = readVersionText(kVersionFile);
  param.lua_port = setting_.lua_port;
  param.debug_port = setting_.debug_port;
  param.debug_size = setting_.debug_size;
  param.broadcast_port = setting_.broadcast_port;
  param.broadcast_chkmsg = setting_.broadcast_chkmsg;
  param.broadcast_msg = setting_.broadcast_msg;

  ZLOG_TRACE("Quillon starting core...");
  start(ISubProcess::CORE, &param);
  ZLOG_TRACE("Quillon starting data...");
  start(ISubProcess::DATA, &param);
  ZLOG_TRACE("Quillon starting lua...");
  start(ISubProcess::LUA, &param);
  ZLOG_TRACE("Quillon starting debug...");
  start(ISubProcess::DEBUG, &param);
  ZLOG_TRACE("Quillon started");
}

void Quillon::deinit() {
  ZLOG_TRACE("Quillon stopping...");
  ZLOG_TRACE("Quillon stopping client...");
  stop(ISubProcess::CLIENT);
  ZLOG_TRACE("Quillon stopping lua...");
  stop(ISubProcess::LUA);
  ZLOG_TRACE("Quillon stopping data...");
  stop(ISubProcess::DATA);
  ZLOG_TRACE("Quillon stopping debug...");
  stop(ISubProcess::DEBUG);
  ZLOG_TRACE("Quillon stopping core...");
  stop(ISubProcess::CORE);
  ZLOG_TRACE("Quillon stopped");
}
