#include "remote_io/modbus_tcp_conf.h"

#include <rapidjson/document.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zelor::modules::router {

namespace {

bool hasInt(const rapidjson::Value& object, const char* key) {
  return object.HasMember(key) && object[key].IsInt();
}

bool hasString(const rapidjson::Value& object, const char* key) {
  return object.HasMember(key) && object[key].IsString();
}

std::uint16_t low16(int value) { return static_cast<std::uint16_t>(value); }

// An optional integer member of an optional object; 0 when either is missing.
int optionalInt(const rapidjson::Value& entry, const char* group, const char* key) {
  if (!entry.HasMember(group) || !entry[group].IsObject()) return 0;
  const rapidjson::Value& object = entry[group];
  return hasInt(object, key) ? object[key].GetInt() : 0;
}

// Copies at most size - 1 bytes and a terminator into the zeroed field.
void copyText(char* field, std::size_t size, const rapidjson::Value& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.GetString(), std::min<std::size_t>(text.GetStringLength(), size - 1));
}

std::uint16_t clampedNumber(int index, const char* group, std::uint16_t number, const char* name) {
  if (number <= kBitsPerSlave) return number;
  std::printf("modbusTCPDev[%d] (%s): %s number %u is above %u, using %u\n", index, name, group, number,
              kBitsPerSlave, kBitsPerSlave);
  return kBitsPerSlave;
}

}  // namespace

int LoadModbusTCPConf(const std::string& path, std::vector<ModbusTCPConf_t>& records) {
  records.clear();
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::puts("can not open file modbus_io_config.json!!!!!!");
    return -1;
  }
  std::stringstream content;
  content << file.rdbuf();
  const std::string text = content.str();
  std::printf("%s\n", text.c_str());
  rapidjson::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError()) {
    std::puts("parse modbus_io_config.json   faild!!!!!!");
    std::printf("%s\n", text.c_str());
    return -2;
  }
  if (!doc.IsObject() || !doc.HasMember("modbusTCPDev") || !doc["modbusTCPDev"].IsArray()) {
    std::puts("modbus_io_config.json has no member named modbusTCPDev or modbusTCPDev is not arrary!");
    return -3;
  }
  const rapidjson::Value& devices = doc["modbusTCPDev"];
  const int size = static_cast<int>(devices.Size());
  std::printf("size = %d\n", size);
  records.resize(devices.Size());
  for (int i = 0; i < size; ++i) {
    const rapidjson::Value& entry = devices[static_cast<rapidjson::SizeType>(i)];
    if (!entry.IsObject() || !hasString(entry, "name") || !hasString(entry, "ip") || !hasInt(entry, "port") ||
        !hasInt(entry, "id") || !hasInt(entry, "period")) {
      std::printf(" modbusTCPDev[%d]  member err in  modbus_io_config.json !!!!!\n", i);
      records.clear();
      return -4;
    }
    ModbusTCPConf_t& record = records[static_cast<std::size_t>(i)];
    std::memset(&record, 0, sizeof record);
    copyText(record.name, sizeof record.name, entry["name"]);
    // A dotted address takes at most 15 characters: the first 16 bytes are
    // kept, and the rest of the zeroed field ends the text.
    std::memcpy(record.ip, entry["ip"].GetString(), std::min<std::size_t>(entry["ip"].GetStringLength(), 16));
    record.port = low16(entry["port"].GetInt());
    record.id = static_cast<std::uint8_t>(entry["id"].GetInt());
    record.doAddr = low16(optionalInt(entry, "DO", "addr"));
    record.doNumber = clampedNumber(i, "DO", low16(optionalInt(entry, "DO", "number")), record.name);
    record.doIndex = static_cast<std::int16_t>(optionalInt(entry, "DO", "index"));
    record.diAddr = low16(optionalInt(entry, "DI", "addr"));
    record.diNumber = clampedNumber(i, "DI", low16(optionalInt(entry, "DI", "number")), record.name);
    record.diIndex = static_cast<std::int16_t>(optionalInt(entry, "DI", "index"));
    record.period = static_cast<std::int16_t>(entry["period"].GetInt());
  }
  return size;
}

}  // namespace zelor::modules::router
