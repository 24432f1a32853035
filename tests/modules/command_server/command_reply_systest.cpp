// Every command gets its reply: a handler that throws is answered "-1,{},"
// with the echo, and the exception's text reaches the log.
#include "command_server/command_reply.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

using zelor::modules::CommandText;
using zelor::modules::replyTo;

TEST(CommandReply, AThrowingHandlerIsAnsweredMinusOneWithItsEchoAndLogged) {
  ChannelRecorder recorder(15);
  const CommandText command{"getpose", "", "GetPose()"};
  struct Case {
    const char* name;
    std::function<void(std::string&)> handler;
    std::string reply;
  };
  const Case cases[] = {
      {"result", [](std::string& r) { r = "0,{1,2},"; }, "0,{1,2},GetPose();"},
      {"preset", [](std::string&) {}, "0,{},GetPose();"},
      {"std::exception", [](std::string& r) { r = "0,{half"; throw std::runtime_error("member 'x' not found"); },
       "-1,{},GetPose();"},
      {"other", [](std::string&) { throw 42; }, "-1,{},GetPose();"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(replyTo(command, c.handler), c.reply);
  }
  EXPECT_TRUE(recorder.waitForLine("has exception .........  member 'x' not found", 2s));
}

}  // namespace
}  // namespace zelor::test
