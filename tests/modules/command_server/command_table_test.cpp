// The command table: lower-case unique keys, and the unsupported commands'
// replies.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "command_server/command_table.h"

namespace zelor::modules {
namespace {

TEST(CommandTable, KeysAreLowerCaseAndUnique) {
  std::set<std::string> seen;
  for (const CommandRow& row : commandRows()) {
    const std::string key = row.key;
    EXPECT_TRUE(std::none_of(key.begin(), key.end(), [](unsigned char c) { return std::isupper(c); })) << key;
    EXPECT_TRUE(seen.insert(key).second) << "twice: " << key;
    EXPECT_NE(row.handler, nullptr) << key;
  }
  EXPECT_EQ(seen.count("setcollidedrag"), 0u) << "SetCollideDrag is not a command a client can call";
}

TEST(CommandTable, UnsupportedCommandsAnswerMinusOne) {
  const std::map<std::string, std::string> expected = {
      {"servop", "-1,{},"},           {"servoj", "-1,{},"},           {"starttrace", "-1, {},"},
      {"startpath", "-1, {},"},       {"startfctrace", "-1, {},"},    {"toolai", "-1,{},"},
      {"toolanalogmode", "-1,{},"},   {"digroup", "-1,{},"},          {"ai", "-1,{},"},
      {"ao", "-1,{},"},               {"aoexecute", "-1,{},"},        {"poweron", "-1,{},"},
      {"setsafeskin", "-1,{},"},      {"setobstacleavoid", "-1,{},"}, {"gettracestartpose", "-1,{},"},
      {"getpathstartpose", "-1,{},"}, {"handletrajpoints", "-1,{},"}, {"getsixforcedata", "-1,{},"},
      {"clearskincollision", "-1,{},"}, {"relmovjtool", "-1,{},"},    {"relmovltool", "-1,{},"},
      {"fcsetgain", "-1,{},"},        {"sixforcehome", "-1,{},"},
  };
  std::map<std::string, std::string> answered;
  for (const CommandRow& row : commandRows()) {
    if (!expected.count(row.key)) continue;
    std::string reply = "0,{},";
    row.handler({"1", "2"}, reply);
    answered[row.key] = reply;
  }
  EXPECT_EQ(answered, expected);
}

}  // namespace
}  // namespace zelor::modules
