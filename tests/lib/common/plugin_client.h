#pragma once

#include <cstring>
#include <vector>

#include "common/plugin/plugin_base.h"

namespace zelor::test {

// A command client that records what the builders hand to its hooks and
// answers with a chosen transport result.
class RecordingClient : public PluginBase {
 public:
  struct Wait {
    bool queued;
    int need;
    bool operator==(const Wait&) const = default;
  };

  void checkQueueBuffer(bool queued, int need) override { waits.push_back({queued, need}); }

  int processTranslate(Packet* packet) override {
    std::memcpy(&sent, packet, sizeof(Packet));
    lastPacket = packet;
    ++transports;
    return transportResult;
  }

  std::vector<Wait> waits;
  Packet sent{};
  Packet* lastPacket = nullptr;
  int transports = 0;
  int transportResult = 1;
};

}  // namespace zelor::test
