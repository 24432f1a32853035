#include "settings/data_setting.h"

#include <cstdio>

#include <QFile>
#include <QSettings>

namespace {
constexpr int kBytesPerKiB = 1024;
const char* kGroup = "Quillon";
}  // namespace

void readDataSetting(const QString& path, DataSetting& s, int& testPort) {
  const DataSetting d;
  QSettings file(path, QSettings::IniFormat);
  file.beginGroup(kGroup);
  s.broadcast_port = file.value("broadcast_port", d.broadcast_port).toInt();
  s.broadcast_chkmsg = file.value("broadcast_chkmsg", d.broadcast_chkmsg).toString();
  s.broadcast_msg = file.value("broadcast_msg", d.broadcast_msg).toString();
  s.timeout = file.value("timeout", d.timeout).toInt();
  s.data_port = file.value("quillon_data_port", d.data_port).toInt();
  s.lua_port = file.value("quillon_lua_port", d.lua_port).toInt();
  s.debug_port = file.value("quillon_debug_port", d.debug_port).toInt();
  s.buffer_size = file.value("buffer_size", d.buffer_size / kBytesPerKiB).toInt() * kBytesPerKiB;
  s.packet_size = file.value("packet_size", d.packet_size).toInt();
  s.debug_size = file.value("debug_size", d.debug_size).toInt();

  const bool dhcp = file.value("eth2_dhcp", d.eth2_dhcp).toBool();
  const QString ip = file.value("eth2_ip", d.eth2_ip).toString();
  const QString mask = file.value("eth2_mask", d.eth2_mask).toString();
  const QString gw = file.value("eth2_gw", d.eth2_gw).toString();
  const QString dns = file.value("eth2_dns", d.eth2_dns).toString();
  std::printf("### readSetting: %d, %s, %s, %s, %s ###\n", dhcp ? 1 : 0, ip.toUtf8().constData(),
              mask.toUtf8().constData(), gw.toUtf8().constData(), dns.toUtf8().constData());
  s.eth2_dhcp = dhcp;
  s.eth2_ip = ip;
  s.eth2_mask = mask;
  s.eth2_gw = gw;
  s.eth2_dns = dns;
  testPort = file.value("test_port", kDefaultTestPort).toInt();
  file.endGroup();
}

void writeDataSetting(const QString& path, const DataSetting& s, int testPort) {
  QSettings file(path, QSettings::IniFormat);
  file.beginGroup(kGroup);
  file.setValue("timeout", s.timeout);
  file.setValue("quillon_data_port", s.data_port);
  file.setValue("quillon_lua_port", s.lua_port);
  file.setValue("quillon_debug_port", s.debug_port);
  file.setValue("buffer_size", s.buffer_size / kBytesPerKiB);
  file.setValue("packet_size", s.packet_size);
  file.setValue("debug_size", s.debug_size);
  file.setValue("broadcast_port", s.broadcast_port);
  file.setValue("broadcast_chkmsg", s.broadcast_chkmsg);
  file.setValue("broadcast_msg", s.broadcast_msg);
  file.setValue("eth2_dhcp", s.eth2_dhcp);
  file.setValue("eth2_ip", s.eth2_ip);
  file.setValue("eth2_mask", s.eth2_mask);
  file.setValue("eth2_gw", s.eth2_gw);
  file.setValue("eth2_dns", s.eth2_dns);
  file.setValue("test_port", testPort);
  file.endGroup();
  file.sync();
}

QString readVersionText(const char* path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "1.0.0";
  return QString::fromUtf8(file.readAll());
}
