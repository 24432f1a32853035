// The Modbus TCP slave on port 502 serves the status memory itself: what a
// master writes another process reads there and the other way round; several
// masters at once; out-of-range reads get the library's exception; the table
// accessors and the project number act on the same windows.
#include "modbus/modbus_srv.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "wait_for.h"

#include "common/ipc/robot_map.h"
#include "status_peer.h"
#include "stdout_capture.h"
#include "support/modbus_master.h"

using namespace std::chrono_literals;
using zelor::test::ModbusMaster;
using zelor::test::StatusPeer;

namespace {

// The slave lives as long as the test process, like the data server's.
ModbusSrv& startTcpSlave() {
  static ModbusSrv* slave = [] {
    stModbusConf conf{1, "tcp"};
    auto* s = new ModbusSrv(conf);
    s->init();
    return s;
  }();
  return *slave;
}

ModbusSrv& slaveWithoutTables() {
  static ModbusSrv* slave = new ModbusSrv(stModbusConf{1, "tcp"});
  return *slave;
}

std::uint16_t input(int n) {
  std::uint16_t v;
  std::memcpy(&v, robotMap::instance().entry() + robot_map::inputRegister(n), sizeof v);
  return v;
}

std::uint8_t byteAt(std::size_t offset) { return static_cast<std::uint8_t>(robotMap::instance().entry()[offset]); }

}  // namespace

TEST(ModbusSrvTcp, MastersAndOtherProcessesShareTheFourTables) {
  StatusPeer peer;
  startTcpSlave();
  ModbusMaster master;
  ASSERT_TRUE(master.connected());
  ASSERT_EQ(peer.attach(), 0);

  // Master writes, another process reads the memory.
  ASSERT_EQ(modbus_write_register(master.ctx(), 1300, 0xBEEF), 1);
  EXPECT_EQ(peer.read16(564288 + 2600), 0xBEEF);
  ASSERT_EQ(modbus_write_bit(master.ctx(), 9999, 1), 1);
  EXPECT_EQ(peer.read8(robot_map::kCoils + 9999), 1);

  // Another process writes, the master reads.
  struct Case {
    const char* table;
    std::size_t offset;
    int address;
    std::uint16_t value;
  } cases[] = {
      {"coil", robot_map::kCoils + 123, 123, 1},
      {"discrete input", robot_map::kDiscreteInputs + 4567, 4567, 1},
      {"input register", robot_map::inputRegister(8765), 8765, 0x1234},
      {"holding register", robot_map::holdingRegister(2009), 2009, 0xA55A},
  };
  for (const Case& c : cases) {
    std::uint16_t reg = 0;
    std::uint8_t bit = 0;
    int n = -1;
    if (c.table[0] == 'c') {
      peer.write8(c.offset, static_cast<std::uint8_t>(c.value));
      n = modbus_read_bits(master.ctx(), c.address, 1, &bit);
      reg = bit;
    } else if (c.table[0] == 'd') {
      peer.write8(c.offset, static_cast<std::uint8_t>(c.value));
      n = modbus_read_input_bits(master.ctx(), c.address, 1, &bit);
      reg = bit;
    } else if (c.table[0] == 'i') {
      peer.write16(c.offset, c.value);
      n = modbus_read_input_registers(master.ctx(), c.address, 1, &reg);
    } else {
      peer.write16(c.offset, c.value);
      n = modbus_read_registers(master.ctx(), c.address, 1, &reg);
    }
    EXPECT_EQ(n, 1) << c.table;
    EXPECT_EQ(reg, c.value) << c.table;
  }
}

TEST(ModbusSrvTcp, ManyMastersAtOnceAndOneLeavingDisturbsNoOther) {
  zelor::test::StdoutCapture out;
  startTcpSlave();
  ModbusMaster a;
  ModbusMaster b;
  ASSERT_TRUE(a.connected());
  ASSERT_TRUE(b.connected());
  std::atomic<bool> polling{true};
  std::atomic<int> answered{0};
  std::atomic<int> failed{0};
  std::thread poller([&] {
    while (polling) {
      std::uint16_t v[10];
      (modbus_read_registers(b.ctx(), 0, 10, v) == 10 ? answered : failed)++;
    }
  });
  for (int i = 0; i < 50; ++i) {
    std::uint16_t v[10];
    EXPECT_EQ(modbus_read_input_registers(a.ctx(), 100, 10, v), 10);
  }
  a.disconnect();
  // A connection dropped without a word, mid-request.
  {
    const int raw = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(502);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(raw, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const std::uint8_t half[] = {0x00, 0x01, 0x00};
    ASSERT_EQ(send(raw, half, sizeof half, MSG_NOSIGNAL), 3);
    close(raw);
  }
  const int before = answered;
  EXPECT_TRUE(zelor::test::waitFor([&] { return answered.load() > before + 10; }, 5s))
      << "the second master stopped getting answers";
  ModbusMaster c;
  ASSERT_TRUE(c.connected()) << "a new master after one left";
  std::uint16_t v;
  EXPECT_EQ(modbus_read_registers(c.ctx(), 5, 1, &v), 1);
  polling = false;
  poller.join();
  const std::string printed = out.finish();
  EXPECT_GT(answered.load(), before) << "the second master stopped getting answers";
  EXPECT_EQ(failed.load(), 0);
  EXPECT_NE(printed.find("New connection from 127.0.0.1:"), std::string::npos) << printed;
}

TEST(ModbusSrvTcp, ReadsPastATableGetTheIllegalAddressExceptionAndAnyUnitIdIsServed) {
  startTcpSlave();
  ModbusMaster master;
  ASSERT_TRUE(master.connected());
  std::uint16_t regs[2];
  std::uint8_t bits[2];
  EXPECT_EQ(modbus_read_input_registers(master.ctx(), 9999, 2, regs), -1);
  EXPECT_EQ(errno, EMBXILADD);
  EXPECT_EQ(modbus_read_registers(master.ctx(), 10000, 1, regs), -1);
  EXPECT_EQ(errno, EMBXILADD);
  EXPECT_EQ(modbus_read_bits(master.ctx(), 9999, 2, bits), -1);
  EXPECT_EQ(errno, EMBXILADD);
  EXPECT_EQ(modbus_read_input_registers(master.ctx(), 9999, 1, regs), 1) << "the slave goes on";
  for (int unit : {0, 1, 17, 247, 255}) {
    modbus_set_slave(master.ctx(), unit);
    EXPECT_EQ(modbus_read_input_registers(master.ctx(), 999, 2, regs), 2) << "unit " << unit;
  }
}

TEST(ModbusSrvTcp, AccessorsActOnTheWindowsAndRefuseWhatTheyCannotDo) {
  ModbusSrv& srv = startTcpSlave();
  ModbusMaster master;  // also waits until the tables exist
  ASSERT_TRUE(master.connected());
  ModbusSrv& none = slaveWithoutTables();
  const float one = 1.0f;
  const float pi = 3.14159f;
  const std::uint16_t word = 0x4321;
  const std::uint8_t bytes[3] = {1, 0, 1};
  std::uint16_t regs[4] = {};
  std::uint8_t out[3] = {};
  float f = 0.0f;
  std::uint16_t u = 0;
  struct Case {
    const char* what;
    std::function<int(ModbusSrv&)> call;
    int withTables;
    int without;
  } cases[] = {
      {"WriteHoldReg u16", [&](ModbusSrv& s) { return s.WriteHoldReg(1400, &word); }, 2, -1},
      {"WriteHoldReg float", [&](ModbusSrv& s) { return s.WriteHoldReg(1402, &one); }, 4, -1},
      {"ReadHoldRegs", [&](ModbusSrv& s) { return s.ReadHoldRegs(1400, 4, regs); }, 8, 0},
      {"ReadHoldReg", [&](ModbusSrv& s) { return s.ReadHoldReg(1402, &f); }, 0, 0},
      {"WriteInputReg", [&](ModbusSrv& s) { return s.WriteInputReg(300, &pi); }, 4, -1},
      {"ReadInputReg", [&](ModbusSrv& s) { return s.ReadInputReg(300, &u); }, 2, -1},
      {"WriteDiscreteReg", [&](ModbusSrv& s) { return s.WriteDiscreteReg(100, bytes); }, 1, -1},
      {"WriteDiscreteRegs", [&](ModbusSrv& s) { return s.WriteDiscreteRegs(101, 3, bytes); }, 3, -1},
      {"WriteCoilsReg", [&](ModbusSrv& s) { return s.WriteCoilsReg(200, bytes); }, 1, -1},
      {"ReadCoilsReg", [&](ModbusSrv& s) { return s.ReadCoilsReg(200, out); }, 1, -1},
      {"WriteCoilsRegs", [&](ModbusSrv& s) { return s.WriteCoilsRegs(201, 3, bytes); }, 3, -1},
      {"ReadCoilsRegs", [&](ModbusSrv& s) { return s.ReadCoilsRegs(201, 3, out); }, 3, -1},
      // Null value pointers.
      {"ReadHoldRegs null", [&](ModbusSrv& s) { return s.ReadHoldRegs(0, 1, nullptr); }, -1, 0},
      {"ReadHoldReg null", [&](ModbusSrv& s) { return s.ReadHoldReg(0, nullptr); }, -1, 0},
      {"WriteHoldReg null", [&](ModbusSrv& s) { return s.WriteHoldReg(0, static_cast<std::uint16_t*>(nullptr)); },
       -1, -1},
      {"WriteInputReg null", [&](ModbusSrv& s) { return s.WriteInputReg(0, nullptr); }, -1, -1},
      {"ReadCoilsRegs null", [&](ModbusSrv& s) { return s.ReadCoilsRegs(0, 2, nullptr); }, -1, -1},
      // Ranges outside the 10000 entries.
      {"WriteHoldReg float at the end", [&](ModbusSrv& s) { return s.WriteHoldReg(9999, &one); }, -1, -1},
      {"ReadHoldRegs past the end", [&](ModbusSrv& s) { return s.ReadHoldRegs(9998, 3, regs); }, -1, 0},
      {"ReadInputReg negative", [&](ModbusSrv& s) { return s.ReadInputReg(-1, &u); }, -1, -1},
      {"WriteCoilsRegs past the end", [&](ModbusSrv& s) { return s.WriteCoilsRegs(9999, 2, bytes); }, -1, -1},
      {"WriteDiscreteRegs negative length", [&](ModbusSrv& s) { return s.WriteDiscreteRegs(0, -1, bytes); }, -1,
       -1},
  };
  for (const Case& c : cases) {
    zelor::test::StdoutCapture quiet;
    EXPECT_EQ(c.call(srv), c.withTables) << c.what << " with tables";
    EXPECT_EQ(c.call(none), c.without) << c.what << " without tables";
    const std::string printed = quiet.finish();
    if (c.without == 0) {
      EXPECT_NE(printed.find("m_mb_mapping is null"), std::string::npos) << c.what << printed;
    }
  }
  // What the calls above did, as a master sees it.
  std::uint16_t got[4];
  ASSERT_EQ(modbus_read_registers(master.ctx(), 1400, 4, got), 4);
  EXPECT_EQ(got[0], 0x4321);
  EXPECT_EQ(got[2], 0x0000) << "1.0f: low half first";
  EXPECT_EQ(got[3], 0x3F80);
  EXPECT_EQ(regs[3], 0x3F80);
  EXPECT_EQ(f, 1.0f);
  ASSERT_EQ(modbus_read_input_registers(master.ctx(), 300, 2, got), 2);
  EXPECT_EQ(modbus_get_float(got), pi);
  EXPECT_EQ(u, got[0]);
  std::uint8_t bits[4];
  ASSERT_EQ(modbus_read_input_bits(master.ctx(), 100, 4, bits), 4);
  EXPECT_EQ(std::vector<int>(bits, bits + 4), (std::vector<int>{1, 1, 0, 1}));
  ASSERT_EQ(modbus_read_bits(master.ctx(), 200, 4, bits), 4);
  EXPECT_EQ(std::vector<int>(bits, bits + 4), (std::vector<int>{1, 1, 0, 1}));
  EXPECT_EQ(std::vector<int>(out, out + 3), (std::vector<int>{1, 0, 1}));
}

TEST(ModbusSrvTcp, RefreshAndRecordCallsFillTheMap) {
  ModbusSrv& srv = startTcpSlave();
  ModbusMaster master;
  ASSERT_TRUE(master.connected());
  srv.refreshRegs32Bit(10, 0x12345678u);
  EXPECT_EQ(input(10), 0x1234) << "high half first";
  EXPECT_EQ(input(11), 0x5678);
  const float half = 0.5f;
  srv.refreshRegs32Bit(12, &half);
  EXPECT_EQ(input(12), 0x0000);
  EXPECT_EQ(input(13), 0x3F00);
  zelor::test::StdoutCapture out;
  srv.refreshRegs32Bit(12, static_cast<const float*>(nullptr));
  EXPECT_NE(out.finish().find("], pValue is error"), std::string::npos);
  srv.refreshRegs16Bit(20, 0xCAFE);
  EXPECT_EQ(input(20), 0xCAFE);

  const struct {
    int type;
    int input;  // -1: ignored
  } io[] = {{0, 0}, {12, 1}, {13, 2}, {15, 3}, {14, 4}, {1, -1}, {11, -1}, {16, -1}, {-1, -1}};
  for (const auto& c : io) {
    for (int i = 0; i < 8; ++i) robotMap::instance().entry()[robot_map::kDiscreteInputs + i] = 0;
    srv.refreshIoStatus(c.type, 1);
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(byteAt(robot_map::kDiscreteInputs + i), i == c.input ? 1 : 0) << "type " << c.type << " input " << i;
    }
  }

  const float joints[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  const float speeds[4] = {-1.0f, -2.0f, -3.0f, -4.0f};
  const stModbusServo servo[4] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  srv.RecordAllJointPostion(joints);
  srv.RecordRunSpeed(speeds);
  srv.RecordServoInfo(servo);
  srv.RecordAlarm(0x0102);
  srv.RecordRunStatus(1);
  std::uint8_t in24[24] = {};
  std::uint8_t out24[24] = {};
  in24[0] = 1;
  in24[23] = 1;
  out24[5] = 1;
  srv.RecordAllIoInputStatus(in24);
  srv.RecordAllIoOutputStatus(out24);
  std::uint16_t regs[250];
  ASSERT_TRUE(master.readInputs(0, 250, regs));
  EXPECT_EQ(regs[0], 0x0102);
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(modbus_get_float(regs + 202 + 2 * j), joints[j]) << j;
    EXPECT_EQ(modbus_get_float(regs + 222 + 2 * j), speeds[j]) << j;
    EXPECT_EQ(modbus_get_float(regs + 2 + 20 * j), servo[j].first) << j;
    EXPECT_EQ(modbus_get_float(regs + 4 + 20 * j), servo[j].second) << j;
    EXPECT_EQ(modbus_get_float(regs + 6 + 20 * j), servo[j].third) << j;
  }
  std::uint8_t bits[70];
  ASSERT_EQ(modbus_read_input_bits(master.ctx(), 0, 70, bits), 70);
  EXPECT_EQ(bits[3], 1) << "run status";
  EXPECT_EQ(bits[15], 1);
  EXPECT_EQ(bits[16], 0);
  EXPECT_EQ(bits[38], 1);
  EXPECT_EQ(bits[39 + 5], 1);
  EXPECT_EQ(bits[39], 0);
}

TEST(ModbusSrvTcp, ProjectNumberLivesInHoldingRegister1281) {
  ModbusSrv& srv = startTcpSlave();
  ModbusMaster master;
  ASSERT_TRUE(master.connected());
  const struct {
    const char* name;
    int result;
    std::uint16_t stored;  // 0: register unchanged
    const char* after;
  } cases[] = {
      {"7", 1, 7, "7"},       {"007", 1, 7, "7"}, {"65535", 1, 65535, "65535"}, {"", 0, 0, ""},
      {"0", 0, 0, "0"},       {"abc", 0, 0, "abc"}, {"7a", 0, 0, "7a"},         {"70000", 0, 0, "70000"},
      {"00042", 1, 42, "42"},
  };
  for (const auto& c : cases) {
    const std::uint16_t marker = 999;
    srv.WriteHoldReg(1281, &marker);
    std::string name = c.name;
    EXPECT_EQ(srv.SetProjectName(name), c.result) << '"' << c.name << '"';
    EXPECT_EQ(name, c.after) << '"' << c.name << '"';
    std::uint16_t reg = 0;
    ASSERT_EQ(modbus_read_registers(master.ctx(), 1281, 1, &reg), 1);
    EXPECT_EQ(reg, c.stored != 0 ? c.stored : marker) << '"' << c.name << '"';
    std::string back = "unchanged";
    EXPECT_EQ(srv.GetProjectName(back), 1);
    EXPECT_EQ(back, std::to_string(reg));
  }
  ASSERT_EQ(modbus_write_register(master.ctx(), 1281, 0), 1);
  std::string back = "kept";
  EXPECT_EQ(srv.GetProjectName(back), 0);
  EXPECT_EQ(back, "kept");

  ModbusSrv& none = slaveWithoutTables();
  zelor::test::StdoutCapture out;
  std::string name = "7";
  EXPECT_EQ(none.SetProjectName(name), 0);
  EXPECT_EQ(none.GetProjectName(name), 0);
  const std::string printed = out.finish();
  EXPECT_EQ(printed, "[ModbusSrv::GetRemoteCtrlStatus] m_mb_mapping is null !\n"
                     "[ModbusSrv::GetRemoteCtrlStatus] m_mb_mapping is null !\n");
}

namespace {

// The slave's listening descriptor: the IPv4 socket listening on port 502.
int listeningDescriptor() {
  DIR* dir = opendir("/proc/self/fd");
  int found = -1;
  while (dirent* e = readdir(dir)) {
    const int fd = std::atoi(e->d_name);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    int listening = 0;
    socklen_t optLen = sizeof listening;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0 && addr.sin_family == AF_INET &&
        ntohs(addr.sin_port) == 502 && getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &optLen) == 0 &&
        listening != 0) {
      found = fd;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

TEST(ModbusSrvTcp, ASelectFailureEndsTheServerWithoutFreeingTheWindows) {
  zelor::test::StdoutCapture out;
  ModbusSrv& srv = startTcpSlave();
  ModbusMaster master;
  ASSERT_TRUE(master.connected());
  const int listener = listeningDescriptor();
  ASSERT_GE(listener, 0);
  close(listener);
  std::uint16_t v;
  modbus_read_registers(master.ctx(), 0, 1, &v);  // wakes select, which then finds a closed descriptor
  // Once the server has ended the accessors find no tables.
  const std::uint16_t w = 1;
  for (int i = 0; i < 100 && srv.WriteHoldReg(0, &w) != -1; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(srv.WriteHoldReg(0, &w), -1);
  // The server's last line follows the tables' release.
  EXPECT_TRUE(zelor::test::waitFor([&] { return out.peek().find("exit ...") != std::string::npos; }, 3s));
  const std::string printed = out.finish();
  EXPECT_NE(printed.find("exit ..."), std::string::npos) << printed;
  // The windows are still the memory's (freeing them would have ended this
  // process under AddressSanitizer).
  robotMap::instance().entry()[robot_map::kCoils + 1] = 1;
  EXPECT_EQ(byteAt(robot_map::kCoils + 1), 1);
}
