// The line hook and the three report monitors: print output, call cursor and
// run cursor, each sent as UDP datagrams.

#include <cstdio>
#include <cstring>
#include <string>

#include <lua.hpp>

#include "plugin_lua.h"

namespace {

constexpr int kPrintPeriodMs = 50;
constexpr int kCursorPeriodMs = 200;
constexpr int kPrintBatch = 50;

// Counts a monitor out when it leaves its loop.
struct MonitorExit {
  std::atomic<int>& running;
  ~MonitorExit() { running.fetch_sub(1); }
};

}  // namespace

void pluginLua::hook(lua_State* L, lua_Debug* ar) {
  lua_getinfo(L, "Sl", ar);
  const char* source = ar->source;
  if (source == nullptr || std::strcmp(source, "=[C]") == 0 || std::strstr(source, "src0.lua") == nullptr) return;
  char position[512];
  std::snprintf(position, sizeof position, "%s:%d", source, ar->currentline);
  std::lock_guard lock(m_callMutex);
  m_strCallLine.assign(position);
}

void pluginLua::sendReport(UdpClient& socket, const char* data, std::size_t length) {
  const int n = static_cast<int>(length);
  socket.sendMsg(data, n);
  socket.sendMsg("eth2", data, n);
  socket.sendMsg("WiFi", data, n);
}

bool pluginLua::flushPrintQueue() {
  std::string batch;
  for (int i = 0; i < kPrintBatch; ++i) {
    std::string text = m_printQueue.getString();
    if (text.empty()) break;
    batch += text;
    batch += '\n';
  }
  if (batch.empty()) return false;
  std::printf("[ LuaPrint ]: [length : %u], %s \n", static_cast<unsigned>(batch.size()), batch.c_str());
  sendReport(m_udpPrint, batch.data(), batch.size());
  return true;
}

void pluginLua::printMonitor() {
  MonitorExit exit{m_monitorsRunning};
  while (monitorSleep(kPrintPeriodMs)) flushPrintQueue();
}

void pluginLua::callCursorMonitor() {
  MonitorExit exit{m_monitorsRunning};
  std::string previous;
  bool changed = false;
  while (monitorSleep(kCursorPeriodMs)) {
    std::string current;
    {
      std::lock_guard lock(m_callMutex);
      current = m_strCallLine;
    }
    if (current != previous) {
      changed = true;
      previous = current;
    }
    if (!current.empty() && changed) {
      std::printf("[callCursor], %s\n", current.c_str());
      sendReport(m_udpCallCursor, current.data(), current.size());
      m_isDebugCall.store(1);
      changed = false;
    }
  }
}

void pluginLua::runCursorMonitor() {
  MonitorExit exit{m_monitorsRunning};
  std::string previousKey;
  while (monitorSleep(kCursorPeriodMs)) {
    Packet* reply = alloc_GetQueuedCmdCurrentIndex();
    if (reply == nullptr) continue;
    unsigned long long index = 0;
    std::memcpy(&index, reply->params, sizeof(std::uint64_t));
    freePluginPacket(reply);

    const std::string key = std::to_string(index);
    if (key == previousKey) continue;
    std::string runLine;
    {
      std::lock_guard lock(m_debugMapMutex);
      auto found = m_debugMap.find(key);
      if (found != m_debugMap.end()) {
        runLine = found->second;
        m_strRunLine = runLine;
        // Keys compare as text: "10" goes before "9".
        m_debugMap.erase(m_debugMap.begin(), std::next(found));
      }
    }
    previousKey = key;
    if (!runLine.empty()) {
      std::printf("[runCursor], %s\n", runLine.c_str());
      sendReport(m_udpRunCursor, runLine.data(), runLine.size());
    }
  }
}
