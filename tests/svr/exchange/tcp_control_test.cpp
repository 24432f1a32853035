#include "exchange/tcp_control.h"

#include <json/reader.h>
#include <json/value.h>

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "json/parameter_globals.h"
#include "stdout_capture.h"
#include "subProcess/factory_access.h"

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
      {"getErrorID()", "error", true},
      {"SetLoad", "unknow cmd", false},
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

namespace {

// The commands that need the data sub-process, behind a factory without one.
class TextCommandsWithoutData : public ::testing::Test {
 protected:
  void SetUp() override {
    setSubProcessFactory(&factory_);
    saved_ = m_st_loadParams;
  }
  void TearDown() override {
    m_st_loadParams = saved_;
    setSubProcessFactory(nullptr);
  }

  static std::string run(const std::string& text) {
    std::string command = text;
    std::string reply;
    zelor::test::StdoutCapture out;
    tcpControl::handle_TCPIP_Raw_Cmd(command, reply);
    out.finish();
    return reply;
  }

  SubProcessFactory factory_;
  st_loadParams saved_{};
};

bool sameLoad(const st_loadParams& a, const st_loadParams& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST_F(TextCommandsWithoutData, SetLoadStoresOnlyCheckedFiniteValues) {
  const st_loadParams before{1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
  struct Row {
    const char* text;
    const char* reply;
    st_loadParams after;
  };
  const Row rows[] = {
      {"SetLoad(2.5)", "0", {1.0f, 2.0f, 3.0f, 2.5f, 5.0f}},
      {"SetLoad(2.5,10,20,30)", "0", {10.0f, 20.0f, 30.0f, 2.5f, 5.0f}},
      {"SetLoad(,2.5,,)", "0", {1.0f, 2.0f, 3.0f, 2.5f, 5.0f}},
      {"SetLoad(0)", "0", {1.0f, 2.0f, 3.0f, 0.0f, 5.0f}},
      {"SetLoad(20)", "0", {1.0f, 2.0f, 3.0f, 20.0f, 5.0f}},
      {"SetLoad(1,2,3)", "-1", before},
      {"SetLoad(1,2,3,4,5)", "-1", before},
      {"SetLoad(1,2)", "-1", before},
      {"SetLoad()", "-1", before},
      {"SetLoad(abc)", "-1", before},
      {"SetLoad(2kg)", "-1", before},
      {"SetLoad(25)", "-2", before},
      {"SetLoad(-1)", "-2", before},
      {"SetLoad(20.001)", "-2", before},
      {"SetLoad(nan)", "-2", before},
      {"SetLoad(inf)", "-2", before},
      {"SetLoad(1e999)", "-2", before},
      {"SetLoad(2,1e39,0,0)", "-2", before},
      {"SetLoad(2,nan,0,0)", "-2", before},
  };
  for (const Row& row : rows) {
    m_st_loadParams = before;
    EXPECT_EQ(run(row.text), row.reply) << row.text;
    EXPECT_TRUE(sameLoad(m_st_loadParams, row.after)) << row.text << ": mass " << m_st_loadParams.loadValue
                                                      << ", centre " << m_st_loadParams.inertiaX << " "
                                                      << m_st_loadParams.inertiaY << " " << m_st_loadParams.inertiaZ;
  }
}

TEST_F(TextCommandsWithoutData, NoDataSubProcessMeansNothingToReportOrSwitch) {
  Json::Value root;
  const std::string alarms = run("GetErrorID()");
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  ASSERT_TRUE(reader->parse(alarms.data(), alarms.data() + alarms.size(), &root, &errors)) << alarms;
  ASSERT_TRUE(root.isArray());
  ASSERT_EQ(root.size(), 6u) << alarms;
  for (const Json::Value& element : root) {
    EXPECT_TRUE(element.isArray() && element.empty()) << alarms;
  }
  EXPECT_EQ(run("ClearCollision()"), "ClearCollision()");
  EXPECT_EQ(run("BrakeControl(0,1)"), "-1");
}
