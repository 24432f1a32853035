#include "exchange/tcp_control.h"

#include <string>

#include <gtest/gtest.h>

#include "stdout_capture.h"

TEST(TextCommands, ParserAnswers) {
  struct Row {
    const char* text;
    const char* reply;
    bool cannotHandleLine;
  };
  const Row rows[] = {
      {"Hello", "unknow cmd", false},
      {"Hello(", "unknow cmd", false},
      {"Hello)", "unknow cmd", false},
      {"", "unknow cmd", false},
      {"Hello()", "error", true},
      {"PositiveSolution()", "", false},
      {"InverseSolution(1,2,3,4)", "", false},
      {"PositiveSolution (1)", "error", true},  // the name is matched exactly
      {"positivesolution()", "error", true},
      {"a)b(c", "error", true},  // ")" before "(": no arguments, unknown name
      {")(", "error", true},
      // Handlers that come with the data sub-process answer "error" until then.
      {"GetErrorID()", "error", true},
      {"SetLoad(2.5)", "error", true},
  };
  for (const Row& row : rows) {
    std::string command = row.text;
    std::string reply;
    zelor::test::StdoutCapture out;
    tcpControl::handle_TCPIP_Raw_Cmd(command, reply);
    const std::string printed = out.finish();
    EXPECT_EQ(reply, row.reply) << row.text;
    EXPECT_EQ(printed.rfind(std::string("[handle_TCPIP_Raw_Cmd] : ") + row.text + "   \n", 0), 0u) << printed;
    EXPECT_EQ(printed.find("can not handle this cmd!!!!") != std::string::npos, row.cannotHandleLine) << row.text;
  }
}
