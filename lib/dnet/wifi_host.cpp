#include "dnet/wifi_host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "log/line_log.h"

namespace zelor::common::network {

namespace {

constexpr const char* kSsid = "ssid";
constexpr const char* kPassphrase = "wpa_passphrase";

bool holdsLineBreak(const char* value) {
  return value != nullptr && std::strpbrk(value, "\r\n") != nullptr;
}

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

WifiHost& WifiHost::Instance() {
  static WifiHost host;
  return host;
}

bool WifiHost::HostapdSplitConf(const std::string& line, std::string& key, std::string& value) {
  const std::size_t at = line.find('=');
  if (at == std::string::npos) return false;
  key = line.substr(0, at);
  value = line.substr(at + 1);
  return true;
}

bool WifiHost::LoadHostConf(const std::string& path, std::map<std::string, std::string>& conf,
                            std::vector<std::string>* others) {
  conf.clear();
  if (others != nullptr) others->clear();
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "Couldn't open %s for reading: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    std::string key;
    std::string value;
    if (HostapdSplitConf(line, key, value)) {
      conf.emplace(key, value);
    } else if (others != nullptr) {
      others->push_back(line);
    }
  }
  return true;
}

bool WifiHost::HostapdWriteConf(const std::string& path, const std::map<std::string, std::string>& conf,
                                const std::vector<std::string>& others) {
  std::string text;
  for (const std::string& line : others) text += line + "\n";
  for (const auto& [key, value] : conf) text += key + "=" + value + "\n";
  // Written beside the file and renamed over it: a crash leaves the old file
  // or the new one, never a part.
  const std::string temp = path + ".tmp";
  struct stat old {};
  const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0600;
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) {
    std::fprintf(stderr, "Couldn't open %s for writing: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  const bool written = writeAll(fd, text) && fsync(fd) == 0;
  const int err = errno;
  close(fd);
  if (!written || rename(temp.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "Couldn't write %s: %s\n", path.c_str(), std::strerror(written ? errno : err));
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool WifiHost::UpdateHostConf(const char* ssid, const char* passphrase) {
  if (ssid == nullptr && passphrase == nullptr) {
    std::printf("ssid and passwd is null !!!\n");
    return false;
  }
  if (holdsLineBreak(ssid) || holdsLineBreak(passphrase)) {
    ZLOG_ERROR("ssid or pass phrase holds a line break: %s left unchanged", kConfPath);
    return false;
  }
  std::vector<std::string> others;
  LoadHostConf(kConfPath, conf_, &others);
  if (ssid != nullptr) conf_[kSsid] = ssid;
  if (passphrase != nullptr) conf_[kPassphrase] = passphrase;
  return HostapdWriteConf(kConfPath, conf_, others);
}

bool WifiHost::GetHostAP(std::string& ssid, std::string& passphrase) {
  ssid.clear();
  passphrase.clear();
  if (!LoadHostConf(kConfPath, conf_)) return false;
  const auto s = conf_.find(kSsid);
  if (s != conf_.end()) ssid = s->second;
  const auto p = conf_.find(kPassphrase);
  if (p != conf_.end()) passphrase = p->second;
  return true;
}

}  // namespace zelor::common::network
