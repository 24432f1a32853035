// Builders of the device, sensor calibration and raw text commands.
#include <cstdio>
#include <cstring>

#include "common/plugin/plugin_base.h"
#include "log/line_log.h"

namespace {

// A char argument travels in the first byte of a 4-byte field.
struct CharField {
  std::uint8_t bytes[4];
  explicit CharField(char c) : bytes{static_cast<std::uint8_t>(c), 0, 0, 0} {}
};
static_assert(sizeof(CharField) == 4);

}  // namespace

Packet* PluginBase::alloc_SetDeviceSN(const char* sn) {
  if (sn == nullptr) return refuseNull(__func__);
  return sendTextWithNul(cmd::SetDeviceSN, 0, sn, std::strlen(sn), __func__);
}

Packet* PluginBase::alloc_GetDeviceSN() { return send(cmd::GetDeviceSN); }

Packet* PluginBase::alloc_SetDeviceName(const char* name) {
  if (name == nullptr) return refuseNull(__func__);
  return sendTextWithNul(cmd::SetDeviceName, 0, name, std::strlen(name), __func__);
}

Packet* PluginBase::alloc_GetDeviceName() { return send(cmd::GetDeviceName); }
Packet* PluginBase::alloc_GetDeviceVersion() { return send(cmd::GetDeviceVersion); }

Packet* PluginBase::alloc_SetDeviceWithL(int withL) {
  const auto lowByte = static_cast<std::uint8_t>(withL & 0xFF);
  return sendValue(cmd::SetDeviceWithL, 0, lowByte);
}

Packet* PluginBase::alloc_GetDeviceWithL() { return send(cmd::GetDeviceWithL); }
Packet* PluginBase::alloc_GetDeviceTime() { return send(cmd::GetDeviceTime); }

Packet* PluginBase::alloc_SetAngleSensorStaticError(char rearArm, char frontArm) {
  const CharField rear(rearArm);
  const CharField front(frontArm);
  return send(cmd::SetAngleSensorStaticError, 0, {{&rear, sizeof rear}, {&front, sizeof front}});
}

Packet* PluginBase::alloc_GetAngleSensorStaticError() { return send(cmd::GetAngleSensorStaticError); }

Packet* PluginBase::alloc_SetAngleSensorCoef(float coef, char arm) {
  const CharField field(arm);
  return send(cmd::SetAngleSensorCoef, 0, {{&coef, sizeof coef}, {&field, sizeof field}});
}

Packet* PluginBase::alloc_GetAngleSensorCoef() { return send(cmd::GetAngleSensorCoef); }

Packet* PluginBase::alloc_SetBaseDecoderStaticError(float error) {
  return sendValue(cmd::SetBaseDecoderStaticError, 0, error);
}

Packet* PluginBase::alloc_GetBaseDecoderStaticError() { return send(cmd::GetBaseDecoderStaticError); }

Packet* PluginBase::alloc_SetLRHandCalibrateValue(float value) {
  return sendValue(cmd::SetLRHandCalibrateValue, 0, value);
}

Packet* PluginBase::alloc_GetLRHandCalibrateValue() { return send(cmd::GetLRHandCalibrateValue); }

Packet* PluginBase::alloc_TCPIPRawCmdHandler(const char* text) {
  if (text == nullptr) return refuseNull(__func__);
  const std::size_t length = std::strlen(text);
  if (length > kKernelParamBytes) {
    std::printf("api:%s\t len:%d\n", text, static_cast<int>(length));
    return nullptr;
  }
  Packet* packet = send(cmd::TCPIPRawCmdHandler, 0, {{text, length}});
  if (packet == nullptr) std::printf("##############alloc_TCPIPRawCmdHandler wrong!!!!!");
  return packet;
}
