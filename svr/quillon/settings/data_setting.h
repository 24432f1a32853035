#pragma once

#include <QString>

// The data server's settings: group "Quillon" of the INI file torvix.conf.
struct DataSetting {
  int timeout = 3;
  int data_port = 12345;
  int lua_port = 12346;
  int debug_port = 11000;
  int buffer_size = 8 * 1024;  // bytes; the file holds KiB
  int packet_size = 20;
  int debug_size = 50;
  int broadcast_port = 6000;
  QString broadcast_chkmsg = "WhoisZelorW7";
  QString broadcast_msg = "zelorW7";
  bool eth2_dhcp = false;
  QString eth2_ip = "192.168.2.6";
  QString eth2_mask = "255.255.255.0";
  QString eth2_gw = "192.168.2.6";
  QString eth2_dns = "9.9.9.9";
};

inline constexpr int kDefaultTestPort = 33000;

// Reads group "Quillon" of the file at path: a missing file, group or key
// yields its default. Prints the "### readSetting ..." line. Writes nothing.
void readDataSetting(const QString& path, DataSetting& setting, int& testPort);

// Writes every field and test_port back under the same keys (buffer_size in
// KiB) and syncs the file.
void writeDataSetting(const QString& path, const DataSetting& setting, int testPort);

// The whole text of the version file, "1.0.0" when it cannot be opened.
QString readVersionText(const char* path);
