// RTU mode over a pseudo-terminal pair: socat links one end at the slave's
// device path on a private /dev, a libmodbus RTU master talks on the other;
// the TCP accessors find no tables; the local status service reads the RTU
// tables and refuses what it cannot answer.
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/network/local_socket.h"
#include "modbus/modbus_srv.h"
#include "process.h"
#include "stdout_capture.h"

using namespace std::chrono_literals;
using zelor::common::network::LocalSocket;

namespace {

constexpr const char* kMasterEnd = "/tmp/rtu_master";

// A /dev of this test's own mount namespace holding what socat needs.
bool privateDev(std::string& why) {
  const char* keep = "/tmp/devnull";
  if (FILE* f = std::fopen(keep, "w")) std::fclose(f);
  if (mount("/dev/null", keep, nullptr, MS_BIND, nullptr) != 0) return why = "bind /dev/null", false;
  if (mount("tmpfs", "/dev", "tmpfs", 0, "mode=0755") != 0) return why = "tmpfs on /dev", false;
  if (FILE* f = std::fopen("/dev/null", "w")) std::fclose(f);
  if (mount(keep, "/dev/null", nullptr, MS_BIND, nullptr) != 0) return why = "/dev/null", false;
  mkdir("/dev/pts", 0755);
  if (mount("devpts", "/dev/pts", "devpts", 0, "newinstance,ptmxmode=0666") != 0) return why = "devpts", false;
  if (symlink("pts/ptmx", "/dev/ptmx") != 0) return why = "/dev/ptmx", false;
  return true;
}

bool waitFor(const char* path) {
  for (int i = 0; i < 200; ++i) {
    if (access(path, F_OK) == 0) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

std::vector<std::uint8_t> request(const std::string& name, unsigned start, unsigned count) {
  std::vector<std::uint8_t> r{static_cast<std::uint8_t>(name.size() >> 8), static_cast<std::uint8_t>(name.size())};
  r.insert(r.end(), name.begin(), name.end());
  for (unsigned v : {start, count}) {
    r.push_back(static_cast<std::uint8_t>(v >> 8));
    r.push_back(static_cast<std::uint8_t>(v));
  }
  return r;
}

// What arrives within the wait (empty: no reply).
std::vector<std::uint8_t> receive(int fd, std::chrono::milliseconds wait) {
  std::vector<std::uint8_t> got;
  const auto until = std::chrono::steady_clock::now() + wait;
  while (std::chrono::steady_clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    std::uint8_t buf[2048];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.insert(got.end(), buf, buf + n);
  }
  return got;
}

}  // namespace

TEST(ModbusSrvRtu, ServesItsOwnTablesOnTheLineAndThroughTheStatusService) {
  std::string why;
  ASSERT_TRUE(privateDev(why)) << why << ": " << std::strerror(errno);
  zelor::test::ChildProcess socat({"/usr/bin/socat", std::string("pty,raw,echo=0,link=") + ModbusSrv::kRtuDevice,
                                   std::string("pty,raw,echo=0,link=") + kMasterEnd});
  ASSERT_TRUE(waitFor(ModbusSrv::kRtuDevice));
  ASSERT_TRUE(waitFor(kMasterEnd));

  zelor::test::StdoutCapture out;
  static ModbusSrv* slave = new ModbusSrv(stModbusConf{1, "rtu"});
  slave->init();

  modbus_t* master = modbus_new_rtu(kMasterEnd, 115200, 'N', 8, 1);
  ASSERT_NE(master, nullptr);
  modbus_set_slave(master, 1);
  modbus_set_response_timeout(master, 1, 0);
  ASSERT_EQ(modbus_connect(master), 0);
  const std::uint16_t values[3] = {0x0102, 0xA0B0, 0xFFFF};
  int wrote = -1;
  for (int i = 0; i < 50 && wrote != 3; ++i) {  // the slave thread opens the line meanwhile
    wrote = modbus_write_registers(master, 4093, 3, values);
    if (wrote != 3) std::this_thread::sleep_for(50ms);
  }
  std::uint16_t back[3] = {};
  const int read = modbus_read_registers(master, 4093, 3, back);
  const std::uint8_t coils[2] = {1, 1};
  const int wroteCoils = modbus_write_bits(master, 7, 2, coils);
  std::uint16_t outside = 0;
  const int pastTable = modbus_read_registers(master, 4096, 1, &outside);
  modbus_close(master);
  modbus_free(master);

  // The TCP accessors have no tables in this mode.
  const std::uint16_t word = 1;
  std::uint16_t regs[2];
  const int writeHold = slave->WriteHoldReg(1300, &word);
  const int readHold = slave->ReadHoldRegs(0, 2, regs);
  std::string name = "7";
  const int setName = slave->SetProjectName(name);

  int fd = -1;
  for (int i = 0; i < 100 && fd < 0; ++i) {
    fd = LocalSocket::connectTo(ModbusSrv::kStatusSocketName);
    if (fd < 0) std::this_thread::sleep_for(20ms);
  }
  ASSERT_GE(fd, 0);
  auto ask = [&](const std::vector<std::uint8_t>& req, std::size_t length) {
    LocalSocket::sendFrame(fd, req.data(), length);
    return receive(fd, 300ms);
  };
  const auto registersReply = ask(request("ReadRegisters", 4093, 3), 19);
  const auto coilsReply = ask(request("ReadCoils", 6, 4), 15);
  struct Refused {
    const char* why;
    std::vector<std::uint8_t> req;
    std::size_t length;
  } refused[] = {
      {"unknown name", request("WriteRegisters", 0, 1), 20},
      {"name Read", request("Read", 0, 1), 10},
      {"short request", request("ReadRegisters", 0, 1), 17},
      {"count 512", request("ReadRegisters", 0, 512), 19},
      {"start 4090 count 10", request("ReadRegisters", 4090, 10), 19},
  };
  std::vector<std::size_t> refusedReplies;
  for (const Refused& r : refused) refusedReplies.push_back(ask(r.req, r.length).size());
  const auto stillServed = ask(request("ReadRegisters", 4095, 1), 19);
  close(fd);
  const std::string printed = out.finish();

  EXPECT_EQ(wrote, 3) << printed;
  EXPECT_EQ(read, 3);
  EXPECT_EQ(std::vector<std::uint16_t>(back, back + 3), std::vector<std::uint16_t>(values, values + 3));
  EXPECT_EQ(wroteCoils, 2);
  EXPECT_EQ(pastTable, -1) << "4096 registers in RTU mode";
  EXPECT_EQ(writeHold, -1);
  EXPECT_EQ(readHold, 0);
  EXPECT_EQ(setName, 0);
  EXPECT_EQ(registersReply, (std::vector<std::uint8_t>{0x00, 0x06, 0x01, 0x02, 0xA0, 0xB0, 0xFF, 0xFF}));
  EXPECT_EQ(coilsReply, (std::vector<std::uint8_t>{0x00, 0x04, 0, 1, 1, 0}));
  for (std::size_t i = 0; i < refusedReplies.size(); ++i) {
    EXPECT_EQ(refusedReplies[i], 0u) << refused[i].why << " was answered";
  }
  EXPECT_EQ(stillServed, (std::vector<std::uint8_t>{0x00, 0x02, 0xFF, 0xFF}));
  EXPECT_NE(printed.find("ModbusSrv mode : rtu"), std::string::npos) << printed;
  EXPECT_NE(printed.find("*************** start RtuModbusSrvProcess: id: 1 ********\n"), std::string::npos);
  EXPECT_NE(printed.find("modbus_receive rc = "), std::string::npos);
  EXPECT_NE(printed.find("m_mb_mapping is null"), std::string::npos);
  EXPECT_NE(printed.find("[ModbusSrv::GetRemoteCtrlStatus] m_mb_mapping is null !"), std::string::npos);
}
