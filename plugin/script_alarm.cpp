#include "script_alarm.h"

#include <cstdio>
#include <string>

#include <json/writer.h>
#include <lua.hpp>

#include "plugin_lua.h"

namespace {

struct AlarmText {
  unsigned code;
  const char* text;
};

constexpr AlarmText kAlarmTexts[] = {
    {0x8000, "No input parameters for speedFactor instruction"},
    {0x8001, "Input parameters of speedFactor instruction out of range"},
    {0x8002, "DO input parameters Error"},
    {0x8003, "DI input parameters Error"},
    {0x8100, "No input parameters for CP instruction"},
    {0x8101, "Input parameters of CP instruction out of range"},
    {0x8200, "No input parameters for Arch instruction"},
    {0x8201, "Index parameter of Arch instruction out of range"},
    {0x8202, "Index parameter of Arch instruction not configured yet"},
    {0x8300, "No input parameters for LimZ instruction"},
    {0x8301, "Input parameters of LimZ instruction out of range"},
    {0x8400, "No input parameters for Speed instruction"},
    {0x8401, "Ratio parameter of Speed instruction out of range [1, 100]"},
    {0x8500, "No input parameters for Accel instruction"},
    {0x8501, "Ratio parameter of Accel instruction out of range [1, 100]"},
    {0x8600, "No input parameters for Jerk instruction"},
    {0x8601, "Ratio parameter of Jerk instruction out of range [1, 100]"},
    {0x8700, "No input parameters for SpeedS instruction"},
    {0x8701, "Ratio parameter of SpeedS instruction out of range [1, 100]"},
    {0x8800, "No input parameters for SpeedR instruction"},
    {0x8801, "Ratio parameter of SpeedR instruction out of range [1, 100]"},
    {0x8900, "No input parameters for AccelS instruction"},
    {0x8901, "Ratio parameter of AccelS instruction out of range [1, 100]"},
    {0x8A00, "No input parameters for AccelR instruction"},
    {0x8A01, "Ratio parameter of AccelR instruction out of range [1, 100]"},
    {0x8B00, "No input parameters for JerkS instruction"},
    {0x8B01, "Ratio parameter of JerkS instruction out of range [1, 100]"},
    {0x8C00, "No input parameters for JerkR instruction"},
    {0x8C01, "Ratio parameter of JerkR instruction out of range [1, 100]"},
    {0x8D00, "No input parameters for MovJ instruction"},
    {0x8D01, "No motion point parameter for MovJ instruction"},
    {0x8D02, "Incorrect motion point for MovJ instruction"},
    {0x8D03, "Incorrect control parameter for MovJ instruction"},
    {0x8D04, "No input parameters for JointMovJ instruction"},
    {0x8D05, "No motion point parameter for  JointMovJ instruction"},
    {0x8D06, "No motion point parameter for  JointMovJ instruction"},
    {0x8D07, "Incorrect motion point for  RelPoint instruction"},
    {0x8D08, "Incorrect offset for  RelPoint instruction"},
    {0x8D09, "Incorrect motion point for  RelJoint instruction"},
    {0x8D0A, "Incorrect offset for  RelJoint instruction"},
    {0x8D0B, "No input parameters for RelMovJ instruction"},
    {0x8D0C, "Incorrect motion point for  RelMovJ instruction"},
    {0x8D0D, "No input parameters for MoveJR instruction"},
    {0x8D0E, "Incorrect motion point for  MoveJR instruction"},
    {0x8D0F, "No input parameters for MovJIO instruction"},
    {0x8D10, "Incorrect motion point for MovJIO instruction"},
    {0x8D11, "Incorrect parameters for MovJIO instruction"},
    {0x8D12, "No input parameters for MovLIO instruction"},
    {0x8D13, "Incorrect motion point for MovLIO instruction"},
    {0x8D14, "Incorrect parameters for MovLIO instruction"},
    {0x8D15, "No input parameters for MoveJIO instruction"},
    {0x8D16, "Incorrect motion point for MoveJIO instruction"},
    {0x8D17, "No input parameters for MoveJIO instruction"},
    {0x8D18, "Exter axis status is not ready"},
    {0x8E00, "No input parameters for MovL instruction"},
    {0x8E01, "No motion point parameter for MovL instruction"},
    {0x8E02, "Incorrect motion point for MovL instruction"},
    {0x8E03, "Incorrect control parameter for MovL instruction"},
    {0x8E04, "No input parameters for RelMovL instruction"},
    {0x8E05, "Incorrect motion point for RelMovL instruction"},
    {0x8F00, "No input parameters for Arch instruction"},
    {0x8F01, "No motion point parameter for Arch instruction"},
    {0x8F02, "Incorrect motion point for Arch instruction"},
    {0x8F03, "Incorrect control parameter for Arch instruction"},
    {0x9000, "No input parameters for Jump instruction"},
    {0x9001, "No motion point parameter for Jump instruction"},
    {0x9002, "Incorrect motion point for Jump instruction"},
    {0x9003, "Incorrect control parameter for Jump instruction"},
    {0xA000, "No input parameters for Circle instruction"},
    {0xA001, "No motion point parameter for Circle instruction"},
    {0xA002, "Incorrect motion point for Circle instruction"},
    {0xA003, "Incorrect control parameter for Circle instruction"},
};
static_assert(sizeof kAlarmTexts / sizeof kAlarmTexts[0] == 72);

}  // namespace

void fillScriptAlarmTexts(Json::Value& value) {
  for (const AlarmText& alarm : kAlarmTexts) value[static_cast<Json::ArrayIndex>(alarm.code)] = alarm.text;
}

void scriptAlarmText(const Json::Value& table, int code, char* out, std::size_t size) {
  if (size == 0) return;
  const Json::Value& entry = table[static_cast<Json::ArrayIndex>(code)];
  if (entry.isNull()) {
    std::snprintf(out, size, "%s", "API usage error");
    return;
  }
  // The styled form: the value in JSON, then a line break.
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  const std::string text = Json::writeString(builder, entry) + "\n";
  std::snprintf(out, size, "%s", text.c_str());
}

int raiseScriptAlarm(lua_State* L, int code) {
  char text[512];
  pluginLua& plugin = pluginLua::instance();
  plugin.SetScriptAlarm(code);
  plugin.alarmMessage(code, text, sizeof text);
  return luaL_error(L, "Error alarm :%s", text);
}
