// The Lua sub-process's calls: program start, stop, reboot notice and run
// status on the message router's channels, in-process on a plain factory.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/router/message_router.h"
#include "json/project_structure.h"
#include "stdout_capture.h"
#include "subProcess/factory_access.h"
#include "subProcess/sub_process_factory.h"

namespace {

using zelor::modules::router::MessageRouter;
using Bytes = std::vector<uint8_t>;

constexpr const char* kLine =
    "/zelor/bin/bin/lua /zelor/bin/lua/zelor.lua 192.168.1.5 \"a.lua,b.lua\" \"g.lua\" \"p.lua\" | "
    "/zelor/bin/ombrel 0 lua &";

class LuaCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    setSubProcessFactory(&factory_);
    SubProcessParam param;
    param.lua_port = 5001;
    factory_.start(ISubProcess::LUA, &param);
    router_ = MessageRouter::Instance();
    take(4);
    take(6);
    take(7);
  }
  void TearDown() override { setSubProcessFactory(nullptr); }

  int call(int id, void* in = nullptr) {
    int out = -1;
    factory_.interCall(ISubProcess::LUA, id, in, &out, nullptr);
    return out;
  }

  Bytes take(unsigned char channel) {
    std::vector<uint8_t> buf(MessageRouter::kChannelBytes);
    const int n = router_->ReadNoBlock(channel, buf.data(), buf.size());
    return n > 0 ? Bytes(buf.begin(), buf.begin() + n) : Bytes{};
  }

  void postPid(uint32_t pid) {
    uint8_t le[4];
    std::memcpy(le, &pid, 4);
    ASSERT_EQ(router_->Write(6, le, 4), 6);
  }

  void postStatus(uint8_t running) { ASSERT_EQ(router_->Write(7, &running, 1), 3); }

  static st_project project(QStringList files, QString global, QString teach, QString peer) {
    st_project p;
    p.cpus = std::move(files);
    p.global = std::move(global);
    p.teachPoint = std::move(teach);
    p.reserved = std::move(peer);
    return p;
  }

  static Bytes startFrame(const std::string& line) {
    const size_t n = line.size() + 2;
    Bytes f{static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF), 0x00, 0x01};
    f.insert(f.end(), line.begin(), line.end());
    return f;
  }

  SubProcessFactory factory_;
  MessageRouter* router_ = nullptr;
};

TEST_F(LuaCalls, ProgramStartClearsTheLuaPidAndSendsTheCommandLine) {
  postPid(4242);
  st_project p = project({"a.lua", "b.lua"}, "g.lua", "p.lua", "192.168.1.5");
  zelor::test::StdoutCapture out;
  EXPECT_EQ(call(0, &p), 1);
  const std::string printed = out.finish();
  EXPECT_TRUE(take(6).empty()) << "the pid posted before is forgotten";
  EXPECT_EQ(take(4), startFrame(kLine));
  EXPECT_NE(printed.find(std::string("start lua cmd: ") + kLine + "\n"), std::string::npos) << printed;

  // An empty file list keeps its place; the remote start's peer is "null".
  st_project empty = project({}, "g.lua", "p.lua", "null");
  EXPECT_EQ(call(0, &empty), 1);
  EXPECT_EQ(take(4), startFrame("/zelor/bin/bin/lua /zelor/bin/lua/zelor.lua null \"\" \"g.lua\" \"p.lua\" | "
                                "/zelor/bin/ombrel 0 lua &"));
  // Spaces inside a quoted field are ordinary.
  st_project spaced = project({"my prog.lua"}, "", "", "host-1.local");
  EXPECT_EQ(call(0, &spaced), 1);
  EXPECT_EQ(take(4), startFrame("/zelor/bin/bin/lua /zelor/bin/lua/zelor.lua host-1.local \"my prog.lua\" \"\" \"\" | "
                                "/zelor/bin/ombrel 0 lua &"));
}

TEST_F(LuaCalls, AStartLineTheShellWouldReadOtherwiseIsNotSent) {
  struct Row {
    const char* name;
    st_project project;
  };
  const QString longName = QString(1000, 'x') + ".lua";
  const Row rows[] = {
      {"quote in global", project({"a.lua"}, "g\".lua", "p.lua", "192.168.1.5")},
      {"command in peer", project({"a.lua"}, "g.lua", "p.lua", "1.2.3.4;reboot")},
      {"space in peer", project({"a.lua"}, "g.lua", "p.lua", "1.2.3.4 x")},
      {"empty peer", project({"a.lua"}, "g.lua", "p.lua", "")},
      {"dollar in file", project({"$(reboot).lua"}, "g.lua", "p.lua", "null")},
      {"backquote in teach point", project({"a.lua"}, "g.lua", "`reboot`.lua", "null")},
      {"backslash in file", project({"a\\.lua"}, "g.lua", "p.lua", "null")},
      {"line end in global", project({"a.lua"}, "g\n.lua", "p.lua", "null")},
      {"line too long", project({longName}, "g.lua", "p.lua", "null")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    postPid(4242);
    st_project p = row.project;
    zelor::test::StdoutCapture out;
    EXPECT_EQ(call(0, &p), 0);
    const std::string printed = out.finish();
    EXPECT_TRUE(take(4).empty());
    EXPECT_EQ(take(6), (Bytes{0x00, 0x04, 0x92, 0x10, 0x00, 0x00})) << "channel 6 untouched";
    EXPECT_EQ(printed.find("start lua cmd"), std::string::npos) << printed;
    EXPECT_NE(printed.find("lua start refused"), std::string::npos) << printed;
  }
  // The longest line that fits still goes out.
  const std::string head = "/zelor/bin/bin/lua /zelor/bin/lua/zelor.lua null \"";
  const std::string tail = "\" \"\" \"\" | /zelor/bin/ombrel 0 lua &";
  const std::string name(1023 - head.size() - tail.size(), 'y');
  st_project longest = project({QString::fromStdString(name)}, "", "", "null");
  EXPECT_EQ(call(0, &longest), 1);
  EXPECT_EQ(take(4), startFrame(head + name + tail));
  std::string over = name + "z";
  st_project tooLong = project({QString::fromStdString(over)}, "", "", "null");
  EXPECT_EQ(call(0, &tooLong), 0);
  EXPECT_TRUE(take(4).empty());
}

TEST_F(LuaCalls, StopRebootAndRunStatus) {
  call(1);
  EXPECT_EQ(take(4), (Bytes{0x00, 0x02, 0x00, 0x02}));
  {
    zelor::test::StdoutCapture out;
    call(6);
    EXPECT_NE(out.finish().find("NotifyReboot ..."), std::string::npos);
    EXPECT_EQ(take(4), (Bytes{0x00, 0x02, 0x00, 0x03}));
  }

  EXPECT_EQ(call(4), 0);
  postStatus(1);
  {
    zelor::test::StdoutCapture out;
    EXPECT_EQ(call(4), 1);
    EXPECT_NE(out.finish().find("readbuflen: 3, LUAStatus : 1 ...\n"), std::string::npos);
  }
  EXPECT_TRUE(take(7).empty()) << "the status was consumed";
  EXPECT_EQ(call(4), 1) << "remembered";
  EXPECT_EQ(call(4), 1);
  postStatus(0);
  EXPECT_EQ(call(4), 0);
  EXPECT_EQ(call(4), 0);

  // Resume, pause and the pid query have no pid to act on.
  zelor::test::StdoutCapture quiet;
  call(2);
  call(3);
  EXPECT_EQ(call(5), 0);
  const std::string printed = quiet.finish();
  EXPECT_EQ(printed.find("Lua script process["), std::string::npos) << printed;
  EXPECT_TRUE(take(4).empty());
  EXPECT_TRUE(take(6).empty());
  EXPECT_TRUE(take(7).empty());

  zelor::test::StdoutCapture unknown;
  call(9);
  EXPECT_NE(unknown.finish().find("Can't find methid id:9"), std::string::npos);
}

}  // namespace
