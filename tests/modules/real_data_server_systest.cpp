// The control program's packet road against the real data server: libquillon
// cycling in the PLC-runtime stand-in answers the raw text road from its own
// text-command parser, sets the control mode brevan obeys, and passes
// settings on to the motion kernel.
#include <sys/wait.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/protocol/queue_message.h"
#include "exchange/exchange_pack.h"
#include "install_paths.h"
#include "rpc_api/rpc_execute_api.h"
#include "support/brevan_rig.h"
#include "support/data_server_host.h"

namespace zelor::test {
namespace {

using zelor::modules::rpcExecuteApis::rpcExecuteApi;

// The answer text at byte 7 of a reply packet.
std::string answerOf(const Packet& packet) {
  const char* text = reinterpret_cast<const char*>(packet.params);
  return std::string(text, strnlen(text, sizeof packet.params));
}

TEST(RealDataServer, TheRawTextRoadReturnsTheParsersOwnAnswer) {
  DataServerHost host;
  ASSERT_TRUE(host.started()) << host.diagnostics();
  m_exchange.open(zelor::paths::kLogKeyPath);
  rpcExecuteApi& api = rpcExecuteApi::Instance();

  struct Case {
    const char* text;
    const char* answer;
  };
  for (const Case& c : {Case{"Hello", "unknow cmd"}, Case{"Hello()", "error"}, Case{"PositiveSolution()", ""}}) {
    SCOPED_TRACE(c.text);
    Packet* reply = api.alloc_TCPIPRawCmdHandler(c.text);
    ASSERT_NE(reply, nullptr) << "no reply from the data server\n" << host.diagnostics();
    EXPECT_EQ(reply->cmdId, kTextCommandId);
    EXPECT_EQ(answerOf(*reply), c.answer);
    api.freePluginPacket(reply);
  }

  // The command server's road: name and arguments joined, the answer text as
  // the whole reply.
  struct RawCase {
    std::string name;
    std::vector<std::string> args;
    std::string reply;
  };
  for (const RawCase& c : {RawCase{"PositiveSolution", {}, ""}, RawCase{"Hello", {}, "error"},
                           RawCase{"Hello", {"1", "2"}, "error"}}) {
    SCOPED_TRACE(c.name);
    std::string reply = "0,{},";
    zelor::modules::rpcExecuteApis::remoteRawCmd(c.name, c.args, reply);
    EXPECT_EQ(reply, c.reply);
  }
  std::string command = "Hello", reply;
  rpcExecuteApi::RemoteRawCmd(command, reply);
  EXPECT_EQ(reply, "OK");

  EXPECT_TRUE(host.running()) << host.diagnostics();
  const int status = host.stop();
  ASSERT_TRUE(WIFEXITED(status)) << status << host.diagnostics();
  EXPECT_EQ(WEXITSTATUS(status), 0) << host.diagnostics();
}

TEST(RealDataServer, BrevanBesideItServesInTheModeTheDataServerSet) {
  DataServerHost host;
  ASSERT_TRUE(host.started()) << host.diagnostics();
  Brevan brevan;
  ASSERT_TRUE(brevan.waitForPorts()) << "ports 29999 and 30003 never listened";
  for (int port : {29999, 30003}) {
    SCOPED_TRACE(port);
    Client client(port);
    ASSERT_TRUE(client.connected());
    // The data server copied "tcp" from the project's remote-control file:
    // an unknown name is looked up instead of refused.
    EXPECT_EQ(client.exchange("Foo()", "-10000,{},Foo();"), "-10000,{},Foo();");
    EXPECT_EQ(client.exchange("StartPath()", "-1, {},StartPath();"), "-1, {},StartPath();");
  }
  // A setting goes through the data server to the cycling kernel and back;
  // the exchange waits for its own answer as long as the data server may
  // take, so a loaded machine makes it slower, never a failure.
  Client client(29999);
  client.send("SpeedFactor(50)");
  EXPECT_EQ(client.read(std::string("0,{},SpeedFactor(50);").size(), 5s), "0,{},SpeedFactor(50);")
      << host.diagnostics();
}

}  // namespace
}  // namespace zelor::test
