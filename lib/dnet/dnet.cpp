#include "dnet/dnet.h"

#include <arpa/inet.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/line_log.h"

namespace {

constexpr std::size_t kAddrText = 16;
constexpr std::size_t kMacBytes = 6;
constexpr const char* kUnchanged = "0.0.0.0";
constexpr const char* kDnsCommand = "awk '/^nameserver/{print $2}' /etc/resolv.conf";

void setName(ifreq& ifr, const char* name) {
  std::memset(&ifr, 0, sizeof ifr);
  std::strncpy(ifr.ifr_name, name, IFNAMSIZ - 1);
}

// Copies text into a 16-byte caller buffer; a longer text gives "".
void putText(char* out, const std::string& text) {
  if (out == nullptr) return;
  if (text.size() >= kAddrText) {
    out[0] = '\0';
    return;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
}

// Four decimal numbers 0-255 and three dots, nothing else: safe in a shell line.
bool isPlainDottedQuad(const char* text) {
  if (text == nullptr) return false;
  int parts = 0;
  const char* p = text;
  for (;;) {
    int digits = 0;
    int value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p)) != 0) {
      value = value * 10 + (*p - '0');
      if (++digits > 3) return false;
      ++p;
    }
    if (digits == 0 || value > 255) return false;
    ++parts;
    if (*p == '\0') return parts == 4;
    if (*p != '.' || parts == 4) return false;
    ++p;
  }
}

// Letters, digits, ".", "_" and "-", 1 to 15 of them.
bool isPlainDeviceName(const char* name) {
  if (name == nullptr) return false;
  const std::size_t n = strnlen(name, IFNAMSIZ);
  if (n == 0 || n >= IFNAMSIZ) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (std::isalnum(c) == 0 && c != '.' && c != '_' && c != '-') return false;
  }
  return true;
}

bool leavesUnchanged(const char* text) { return text == nullptr || std::strcmp(text, kUnchanged) == 0; }

// Sets the address (or netmask) unless it is "0.0.0.0" or already current.
void setIfChanged(const char* dev, const char* text, bool netmask) {
  if (leavesUnchanged(text)) return;
  char current[kAddrText] = {};
  if (netmask) {
    get_ip_netmask(dev, current);
  } else {
    get_ip(dev, current);
  }
  if (std::strcmp(current, text) == 0) return;
  if (netmask) {
    set_ip_netmask(dev, text);
    ZLOG_TRACE("Set mask:%s", text);
  } else {
    set_ip(dev, text);
    ZLOG_TRACE("Set ip:%s", text);
  }
}

void runCommand(const std::string& line) {
  const int rc = std::system(line.c_str());
  if (rc != 0) ZLOG_ERROR("\"%s\" ended with %d", line.c_str(), rc);
}

}  // namespace

extern "C" {

int get_addr(const char* name, char* out, unsigned long request) {
  if (name == nullptr || out == nullptr) return 0;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    ZLOG_ERROR("socket error %s", std::strerror(errno));
    return 0;
  }
  ifreq ifr;
  setName(ifr, name);
  const int rc = ioctl(fd, request, &ifr);
  const int err = errno;
  close(fd);
  if (rc < 0) {
    ZLOG_ERROR("ioctl error %s", std::strerror(err));
    return 0;
  }
  if (request == SIOCGIFHWADDR) {
    std::memcpy(out, ifr.ifr_hwaddr.sa_data, kMacBytes);
    return 1;
  }
  const auto* sin = reinterpret_cast<const sockaddr_in*>(&ifr.ifr_addr);
  if (inet_ntop(AF_INET, &sin->sin_addr, out, kAddrText) == nullptr) return 0;
  return 1;
}

int get_ip(const char* name, char* out) { return get_addr(name, out, SIOCGIFADDR); }
int get_ip_netmask(const char* name, char* out) { return get_addr(name, out, SIOCGIFNETMASK); }
int get_mac(const char* name, char* out) { return get_addr(name, out, SIOCGIFHWADDR); }

int is_valid_ip(const char* text) {
  in_addr addr{};
  return text != nullptr && inet_aton(text, &addr) != 0 ? 1 : 0;
}

int is_valid_netmask(const char* text) {
  in_addr addr{};
  if (text == nullptr || inet_aton(text, &addr) == 0) return 0;
  const std::uint32_t zeros = ~ntohl(addr.s_addr);
  // The zero bits below the ones form 0...01...1.
  return (zeros & (zeros + 1)) == 0 ? 1 : 0;
}

int set_addr(const char* name, const char* text, unsigned long request) {
  in_addr addr{};
  if (name == nullptr || text == nullptr || inet_aton(text, &addr) == 0) {
    ZLOG_ERROR("ip was invalid!");
    return 0;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    ZLOG_ERROR("Could not get socket %s", std::strerror(errno));
    return 0;
  }
  ifreq ifr;
  setName(ifr, name);
  if (ioctl(fd, SIOCGIFFLAGS, &ifr) < 0) {
    ZLOG_ERROR("ifdown: shutdown name:%s error:%s", ifr.ifr_name, std::strerror(errno));
    close(fd);
    return 0;
  }
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  sin.sin_addr = addr;
  std::memcpy(&ifr.ifr_addr, &sin, sizeof sin);
  if (ioctl(fd, request, &ifr) < 0) {
    ZLOG_ERROR("Cannot set IP address. name:%s error:%s", ifr.ifr_name, std::strerror(errno));
    close(fd);
    return 0;
  }
  close(fd);
  return 1;
}

int set_ip(const char* name, const char* text) { return set_addr(name, text, SIOCSIFADDR); }
int set_ip_netmask(const char* name, const char* text) { return set_addr(name, text, SIOCSIFNETMASK); }

int set_gateway(const char* text) {
  if (is_valid_ip(text) == 0) {
    ZLOG_ERROR("gateway was invalid %s", text != nullptr ? text : "(null)");
    return 0;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    ZLOG_ERROR("Socket create error %s", std::strerror(errno));
    return 0;
  }
  rtentry route{};
  sockaddr_in any{};
  any.sin_family = AF_INET;
  sockaddr_in gateway{};
  gateway.sin_family = AF_INET;
  if (inet_aton(text, &gateway.sin_addr) == 0) {
    ZLOG_ERROR("inet_aton error %s", std::strerror(errno));
    close(fd);
    return 0;
  }
  std::memcpy(&route.rt_dst, &any, sizeof any);
  std::memcpy(&route.rt_genmask, &any, sizeof any);
  std::memcpy(&route.rt_gateway, &gateway, sizeof gateway);
  route.rt_flags = RTF_UP | RTF_GATEWAY;
  if (ioctl(fd, SIOCADDRT, &route) < 0) {
    ZLOG_ERROR("ioctl(SIOCADDRT) error in set_default_route %s", std::strerror(errno));
    close(fd);
    return 0;
  }
  close(fd);
  return 1;
}

int get_gateway(char* out) {
  if (out != nullptr) out[0] = '\0';
  FILE* pipe = popen("ip route", "r");
  if (pipe == nullptr) {
    ZLOG_ERROR("popen:%s", std::strerror(errno));
    return 0;
  }
  char* line = nullptr;
  std::size_t size = 0;
  bool found = false;
  while (!found && getline(&line, &size, pipe) >= 0) {
    if (std::strstr(line, "default via") == nullptr) continue;
    found = true;
    // The third word: "default via <gateway> ...".
    const char* p = line;
    std::string word;
    for (int i = 0; i < 3; ++i) {
      while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p)) != 0) ++p;
      const char* start = p;
      while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p)) == 0) ++p;
      word.assign(start, p);
    }
    putText(out, word);
  }
  std::free(line);
  pclose(pipe);
  return 1;
}

int get_dns(char* out1, char* out2) {
  if (out1 != nullptr) out1[0] = '\0';
  if (out2 != nullptr) out2[0] = '\0';
  FILE* pipe = popen(kDnsCommand, "r");
  if (pipe == nullptr) {
    ZLOG_ERROR("popen:%s", std::strerror(errno));
    return 0;
  }
  char* line = nullptr;
  std::size_t size = 0;
  char* outs[2] = {out1, out2};
  for (int i = 0; i < 2; ++i) {
    const ssize_t n = getline(&line, &size, pipe);
    if (n < 0) break;
    std::string text(line, static_cast<std::size_t>(n));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    putText(outs[i], text);
  }
  // The rest is read so that awk never writes into a closed pipe.
  while (getline(&line, &size, pipe) >= 0) {
  }
  std::free(line);
  pclose(pipe);
  return 0;
}

int set_network(const char* dev, const char* ip, const char* mask, const char* gw) {
  if (!isPlainDeviceName(dev)) {
    ZLOG_ERROR("refused device name \"%s\"", dev != nullptr ? dev : "(null)");
    return 0;
  }
  setIfChanged(dev, ip, false);
  setIfChanged(dev, mask, true);
  if (leavesUnchanged(gw)) return 0;
  if (!isPlainDottedQuad(gw)) {
    ZLOG_ERROR("gateway was invalid %s", gw);
    return 0;
  }
  char current[kAddrText] = {};
  get_gateway(current);
  if (std::strcmp(current, gw) == 0) return 0;
  // The current gateway comes from the routing table; checked all the same
  // before it enters a shell line.
  if (isPlainDottedQuad(current)) {
    runCommand(std::string("route del default gw ") + current + " dev " + dev);
  }
  runCommand(std::string("route add default gw ") + gw + " dev " + dev);
  ZLOG_TRACE("Set gw:%s", gw);
  return 0;
}

int set_network_httpcmd(const char* iface, const char* ip, const char* mask, const char* gw) {
  ZLOG_DEBUG("[%s], iface: %s, ip: %s, mask:%s, gw: %s", __func__, iface != nullptr ? iface : "(null)",
             ip != nullptr ? ip : "(null)", mask != nullptr ? mask : "(null)", gw != nullptr ? gw : "(null)");
  if (iface == nullptr) return 0;
  char current[kAddrText] = {};
  get_ip(iface, current);
  ZLOG_TRACE("gw_cur:%s, ip:%s", current, ip != nullptr ? ip : "(null)");
  setIfChanged(iface, ip, false);
  setIfChanged(iface, mask, true);
  return 0;
}

int get_network(const char* dev, char* ip, char* gw, char* mask, char* dns) {
  if (ip != nullptr) {
    ip[0] = '\0';
    get_addr(dev, ip, SIOCGIFADDR);
  }
  if (mask != nullptr) {
    mask[0] = '\0';
    get_addr(dev, mask, SIOCGIFNETMASK);
  }
  get_gateway(gw);
  return get_dns(dns, nullptr);
}

int detect_interface_status(const char* name, int fd) {
  if (name == nullptr) return 2;
  int sock = fd;
  if (fd <= 0) {
    sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
      ZLOG_ERROR("Cannot get control socket %s", std::strerror(errno));
      return 2;
    }
  }
  ethtool_value link{};
  link.cmd = ETHTOOL_GLINK;
  ifreq ifr;
  setName(ifr, name);
  ifr.ifr_data = reinterpret_cast<char*>(&link);
  const int rc = ioctl(sock, SIOCETHTOOL, &ifr);
  if (sock != fd) close(sock);
  if (rc < 0) return 2;
  return link.data != 0 ? 0 : 1;
}

}  // extern "C"
