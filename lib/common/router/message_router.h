#pragma once

// Short messages between the data server, the control program and the Lua
// side over the channels of message segment 12. A message is
// [u16 big-endian length L][L bytes].
//
// Router commands on channel 4: [u16 BE payload length + 2][u16 BE type][payload]
//   1 run a command line (payload at most 1024 bytes), 2 stop the Lua program,
//   3 reboot, 4 clear the enabled byte, 6 run a network command line (at most
//   512 bytes); other types are ignored.
// Channel 6: [00 04][Lua process id, u32 little-endian].
// Channel 7: [00 01][1 running, 0 stopped].

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/plugin/plugin_base.h"
#include "common/transport/segment.h"

namespace zelor::modules::router {

class MessageRouter : public PluginBase {
 public:
  static constexpr unsigned kSegmentId = 12;
  static constexpr unsigned char kCommandChannel = 4;
  static constexpr unsigned char kLuaPidChannel = 6;
  static constexpr unsigned char kLuaStatusChannel = 7;
  // Largest frame Write accepts (length bytes included).
  static constexpr size_t kMaxFrame = 16384;
  // A whole channel buffer: room for any stored frame.
  static constexpr size_t kChannelBytes = 17408;
  static constexpr size_t kMaxRunPayload = 1024;
  static constexpr size_t kMaxNetPayload = 512;

  enum CommandType : uint16_t {
    kRunCommand = 1,
    kStopLua = 2,
    kReboot = 3,
    kClearEnabled = 4,
    kNetCommand = 6,
  };

  // The process-wide router, never destroyed; the first call creates or
  // opens the segment.
  static MessageRouter* Instance();
  ~MessageRouter() override;

  // Frames [len BE][data] and writes it on the channel, waiting for the
  // channel's write lock. len + 2, or 0 when nothing was written (a frame
  // above kMaxFrame, null data with a length, no such channel).
  int Write(unsigned char channel, const void* data, unsigned short len);
  // Takes the channel's message out into out (capacity bytes): the bytes
  // copied, length prefix included, or 0 when the channel is empty, its lock
  // was not obtained, or the message does not fit (it is then dropped).
  // Read tries the lock up to five times 100 ms apart, ReadNoBlock once.
  int Read(unsigned char channel, void* out, size_t capacity);
  int ReadNoBlock(unsigned char channel, void* out, size_t capacity);

  // [type BE][len BE][data] into out; len + 4.
  static int PackDataToCodeSys(unsigned short type, const void* data, unsigned short len, void* out);

  unsigned char getLuaRunStatus() const { return lastRunStatus_.load(); }
  unsigned char enabled() const { return enabled_.load(); }
  unsigned char luaRunning() const { return luaRunning_.load(); }

  int OpenShm();
  void Init() {}
  void Proc() {}
  // Starts the command listener and the Lua watcher as detached threads
  // (once per process).
  void Start();

 private:
  MessageRouter();

  void Listen();
  void WorkLoop();
  void OnMessage(const uint8_t* message, int length);
  void runCommandLine(const uint8_t* payload, size_t size);
  void runNetCommand(const uint8_t* payload, size_t size);
  void stopLua();
  void takeLuaPid(const uint8_t* message, int length);
  void watchLua();

  common::transport::Segment segment_;
  std::atomic<uint8_t> luaRunning_{0};
  std::atomic<uint8_t> enabled_{1};
  std::atomic<uint8_t> lastRunStatus_{0};
  std::atomic<uint32_t> luaPid_{0};
  std::atomic<bool> started_{false};
};

}  // namespace zelor::modules::router
