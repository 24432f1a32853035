#pragma once

// The IPv4 sockets this process holds, as "address:port" read back with
// getsockname: what a server really bound, whatever it was asked.

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#include <set>
#include <string>

namespace zelor::test {

inline std::set<std::string> boundSockets() {
  std::set<std::string> found;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return found;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const int fd = std::atoi(entry->d_name);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || addr.sin_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    found.insert(std::string(text) + ":" + std::to_string(ntohs(addr.sin_port)));
  }
  closedir(dir);
  return found;
}

// The sockets that appeared since `before`.
inline std::set<std::string> newSockets(const std::set<std::string>& before) {
  std::set<std::string> added;
  for (const std::string& s : boundSockets()) {
    if (!before.count(s)) added.insert(s);
  }
  return added;
}

// Every socket of the set is on the address (and there is one).
inline bool allOn(const std::set<std::string>& sockets, const std::string& address) {
  for (const std::string& s : sockets) {
    if (s.rfind(address + ":", 0) != 0) return false;
  }
  return !sockets.empty();
}

inline std::string listed(const std::set<std::string>& sockets) {
  std::string out;
  for (const std::string& s : sockets) out += s + " ";
  return out;
}

}  // namespace zelor::test
