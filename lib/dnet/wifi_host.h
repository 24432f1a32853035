#pragma once

#include <map>
#include <string>
#include <vector>

namespace zelor::common::network {

// The access point's settings in /etc/hostapd.conf: keys "ssid" and
// "wpa_passphrase" read and changed, every other line kept.
class WifiHost {
 public:
  static constexpr const char* kConfPath = "/etc/hostapd.conf";

  static WifiHost& Instance();

  // Reads "key=value" lines into conf (emptied first; the first occurrence of
  // a key wins); lines without "=" go to others, in their order, when given.
  // False when the file cannot be opened.
  static bool LoadHostConf(const std::string& path, std::map<std::string, std::string>& conf,
                           std::vector<std::string>* others = nullptr);
  // Replaces the file: the other lines first, then "key=value" in key order.
  static bool HostapdWriteConf(const std::string& path, const std::map<std::string, std::string>& conf,
                               const std::vector<std::string>& others = {});
  // Splits at the first "="; false when the line holds none.
  static bool HostapdSplitConf(const std::string& line, std::string& key, std::string& value);

  // Sets the given (non-null) values and writes the whole file back; a value
  // holding a line break is refused and nothing is written. True when written.
  bool UpdateHostConf(const char* ssid, const char* passphrase);
  // The current values ("" when absent); false when the file cannot be read.
  bool GetHostAP(std::string& ssid, std::string& passphrase);

 private:
  WifiHost() = default;

  std::map<std::string, std::string> conf_;
};

}  // namespace zelor::common::network
