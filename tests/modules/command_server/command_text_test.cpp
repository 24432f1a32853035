// Cutting received text into commands, and splitting their arguments.
#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command_server/command_text.h"

namespace zelor::modules {
namespace {

struct Cut {
  std::string name, args, echo;
  bool operator==(const Cut&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Cut& c) {
  return os << "{" << c.name << " | " << c.args << " | " << c.echo << "}";
}

std::vector<Cut> cutAll(std::string& pending) {
  std::vector<Cut> cuts;
  while (auto c = takeCommand(pending)) cuts.push_back({c->name, c->args, c->echo});
  return cuts;
}

TEST(CommandText, CutsEveryCompleteCommandAndKeepsTheRest) {
  struct Case {
    std::string pending;
    std::vector<Cut> cuts;
    std::string rest;
  };
  const Case cases[] = {
      {"movj(200,0,0,0)", {{"movj", "200,0,0,0", "movj(200,0,0,0)"}}, ""},
      {" MOVJ ( 200, 0, 0, 0 )", {{"movj", "200,0,0,0", "MOVJ(200,0,0,0)"}}, ""},
      {"MovJ({200,0,0,0})", {{"movj", "200,0,0,0", "MovJ({200,0,0,0})"}}, ""},
      {"ServoP()ServoJ()", {{"servop", "", "ServoP()"}, {"servoj", "", "ServoJ()"}}, ""},
      {"ServoP()\r\nServoJ()", {{"servop", "", "ServoP()"}, {"servoj", "", "ServoJ()"}}, ""},
      {"ServoP();ServoJ()", {{"servop", "", "ServoP()"}, {";servoj", "", ";ServoJ()"}}, ""},
      {"MovJ(200,0,", {}, "MovJ(200,0,"},
      {"MovJ(1)MovL(2", {{"movj", "1", "MovJ(1)"}}, "MovL(2"},
      {"abc)", {}, "abc)"},
      {"abc)ServoP()", {{"abc", "abc", "abc)"}, {"servop", "", "ServoP()"}}, ""},
      {"Foo((1))", {{"foo", "1", "Foo((1)"}}, ")"},
      {"test(1,2,a,b=c)", {{"test", "1,2,a,b=c", "test(1,2,a,b=c)"}}, ""},
      {"", {}, ""},
      {"no brackets", {}, "no brackets"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pending);
    std::string pending = c.pending;
    EXPECT_EQ(cutAll(pending), c.cuts);
    EXPECT_EQ(pending, c.rest);
  }
}

TEST(CommandText, ACommandSplitOverReceivesRunsOnceItsBracketArrives) {
  std::string pending;
  appendReceived(pending, "ServoP(1,", 9);
  EXPECT_FALSE(takeCommand(pending));
  appendReceived(pending, "2)", 2);
  EXPECT_EQ(cutAll(pending), (std::vector<Cut>{{"servop", "1,2", "ServoP(1,2)"}}));
}

TEST(CommandText, AZeroByteIsAnOrdinaryByteAndNothingPastTheCountIsTaken) {
  struct Case {
    std::string bytes;  // may hold zeros
    std::size_t count;
    std::string appended;
  };
  const Case cases[] = {
      {std::string("Foo()\0Bar()", 11), 11, std::string("Foo()\0Bar()", 11)},
      {"Foo()Bar()", 5, "Foo()"},
      {std::string("\0abc", 4), 4, std::string("\0abc", 4)},
      {"abc", 3, "abc"},
  };
  for (const Case& c : cases) {
    std::string pending = "x";
    appendReceived(pending, c.bytes.data(), c.count);
    EXPECT_EQ(pending, "x" + c.appended);
  }
  // The zero stays in the command: its name is no longer in the table.
  std::string pending = std::string("Mov\0J(1,2)", 10);
  const std::optional<CommandText> command = takeCommand(pending);
  ASSERT_TRUE(command);
  EXPECT_EQ(command->name, std::string("mov\0j", 5));
  EXPECT_EQ(command->echo, std::string("Mov\0J(1,2)", 10));
}

TEST(CommandText, ArgumentsSplitAtCommas) {
  struct Case {
    std::string args;
    std::vector<std::string> list;
  };
  const Case cases[] = {
      {"", {}},
      {"1", {"1"}},
      {"1,2,", {"1", "2"}},
      {"1,,2", {"1", "", "2"}},
      {",", {""}},
      {",1", {"", "1"}},
      {"a,b=c,", {"a", "b=c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    EXPECT_EQ(splitArguments(c.args), c.list);
  }
}

// A closed peer (0) ends the client whatever errno still holds from an
// earlier call on the thread (ENOMSG after the exchange's empty receives).
TEST(CommandText, OnlyAFailedReceiveWithENOMSGOrEINTRKeepsTheClient) {
  struct Case {
    int received, error;
    bool keep;
  };
  const Case cases[] = {
      {0, ENOMSG, false}, {0, 0, false},         {0, EINTR, false},     {-1, ENOMSG, true},
      {-1, EINTR, true},  {-1, ECONNRESET, false}, {-1, ETIMEDOUT, false}, {-1, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keepClientAfter(c.received, c.error), c.keep) << c.received << " errno " << c.error;
  }
}

}  // namespace
}  // namespace zelor::modules
