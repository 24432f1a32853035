// The coil wrappers: Modbus coil access on behalf of a command client.
#include "common/plugin/plugin_base.h"
#include "json/modbus_client.h"

int PluginBase::pluginbase_setCoils(ModbusClient& client, int address, int count, unsigned char* buffer) {
  if (buffer == nullptr) return -1;
  return client.writeCoils(static_cast<std::uint16_t>(address), count, buffer);
}

int PluginBase::pluginbase_getCoils(ModbusClient& client, int address, int count, unsigned char* buffer) {
  if (buffer == nullptr) return -1;
  return client.readCoils(static_cast<std::uint16_t>(address), count, buffer);
}

int PluginBase::pluginbase_getInCoils(ModbusClient& client, int address, int count, unsigned char* buffer) {
  if (buffer == nullptr) return -1;
  return client.readInCoils(static_cast<std::uint16_t>(address), count, buffer);
}
