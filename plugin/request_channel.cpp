// The plug-in's side of the request channel: packets out, replies back, room
// in the kernel's command queue, and the bookkeeping of queued script lines.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <lua.hpp>

#include "common/ipc/semlib.h"
#include "debug_info.h"
#include "log/line_log.h"
#include "log/ombrel.h"
#include "plugin_lua.h"

using namespace std::chrono_literals;

namespace {

// A reported free space above this is not believed.
constexpr std::int32_t kMaxQueueSpace = 64;

template <typename T>
T replyValue(const Packet* reply) {
  T value;
  std::memcpy(&value, reply->params, sizeof value);
  return value;
}

}  // namespace

int pluginLua::processTranslate(Packet* packet) {
  std::lock_guard lock(m_channelMutex);
  PluginBase::processTranslate(packet);

  const zelor::common::ipc::semlib_channel& channel = m_channels.entry[0];
  const zelor::common::ipc::semlib_channel& own = m_channels.entry[m_client];
  std::memset(&m_request, 0, sizeof m_request);
  m_request.client = static_cast<std::uint8_t>(m_client);
  m_request.status = 0;
  m_request.commandId = packet->cmdId;
  m_request.length = static_cast<std::uint16_t>(packet->length + 6);
  const std::size_t bytes = std::min<std::size_t>(packet->length + 5u, sizeof m_request.packet);
  std::memcpy(m_request.packet, packet, bytes);

  auto* base = reinterpret_cast<unsigned char*>(m_shm);
  do {
    dsem_p(m_semid, channel.waitSem);
    std::memcpy(base + channel.offset, &m_request, sizeof m_request);
    dsem_v(m_semid, channel.signalSem);
    dsem_p(m_semid, own.signalSem);
    std::memcpy(&m_reply, base + own.offset, sizeof m_reply);
  } while (m_reply.status == 1);

  // The reply's length comes from the other side; the packet holds no more.
  const std::size_t replyBytes = std::min<std::size_t>(m_reply.length, sizeof(Packet));
  std::memcpy(packet, m_reply.packet, replyBytes);
  return 1;
}

void pluginLua::checkQueueBuffer(bool queued, int need) {
  if (!queued) return;
  std::lock_guard lock(m_queueMutex);
  std::int32_t space = m_queueSpace;
  bool ask = space < need;
  while (true) {
    if (ask) {
      if (Packet* reply = alloc_GetQueuedCmdLeftSpace()) {
        space = static_cast<std::int32_t>(replyValue<std::uint32_t>(reply));
        freePluginPacket(reply);
      }
    }
    if (space > kMaxQueueSpace) {
      space = 1;
      std::this_thread::sleep_for(1s);
      ask = true;
      continue;
    }
    if (space < need) {
      std::this_thread::sleep_for(300ms);
      ask = true;
      continue;
    }
    break;
  }
  m_queueSpace = space - 1;
}

void pluginLua::waitCmdDone(int wait, const std::uint64_t& index) {
  if (wait == 0) return;
  while (true) {
    if (Packet* reply = alloc_GetQueuedCmdCurrentIndex()) {
      const auto current = replyValue<std::uint64_t>(reply);
      freePluginPacket(reply);
      if (current >= index) break;
    }
    spdlog::ombrel::basicLog(-16, __LINE__, __func__, 2, "sync ...");
    std::this_thread::sleep_for(50ms);
  }
  ZLOG_DEBUG(" *** [%s], Cmd is Done ***", "waitCmdDone");
}

void pluginLua::relateQueueIndex(lua_State* L, std::uint64_t index) {
  int line = 0;
  char position[kPositionTextSize];
  getDebugInfo(L, line, position, sizeof position);
  char key[24];
  if (index != 0)
    std::snprintf(key, sizeof key, "%llu", static_cast<unsigned long long>(index - 1));
  else
    std::snprintf(key, sizeof key, "%d", line);
  {
    std::lock_guard lock(m_debugMapMutex);
    m_debugMap[key] = position;
  }
  if (index == 0) sendReport(m_udpRunCursor, position, std::strlen(position));
}

unsigned long long pluginLua::waitAllCmdDone(const char* logText) {
  unsigned long long count = 0;
  while (true) {
    ++count;
    if (logText != nullptr) spdlog::ombrel::basicLog(-15, __LINE__, __func__, 2, "{}", logText);
    if (Packet* reply = alloc_GetCmdAllDone()) {
      const std::uint8_t done = reply->params[0];
      freePluginPacket(reply);
      if (done != 0) break;
    }
    std::this_thread::sleep_for(50ms);
  }
  return count;
}

void pluginLua::waitSyncDone() {
  waitAllCmdDone();
  std::printf("[%s], all cmd done.\n", "plugin_sync");
  // Without the print monitor nothing would ever empty the queue.
  while (monitorsRunning() && m_printQueue.getSize() > 0) std::this_thread::sleep_for(50ms);
  std::printf("%s, all print done.\n", "plugin_sync");
}
