#pragma once

// The app protocol of TCP port 6000: one client's framed messages relayed to
// the PLC application over router channel 26 and answered with what the PLC
// side writes on channel 27.
//
// Message: [4 opaque bytes][type BE16][body length BE16, at least 1][body].
// Answer: the request's bytes 0-5, then the channel-27 frame as read (its
// BE16 length included); a time-out answer ends after two zero bytes (one
// for type 9).

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace zelor::modules::service {

class AppProtocol {
 public:
  static constexpr int kPort = 6000;
  static constexpr std::size_t kHeaderBytes = 8;
  static constexpr std::size_t kMaxBody = 2043;
  static constexpr std::size_t kMessageBytes = kHeaderBytes + kMaxBody;
  // Request frames, answers and the cycles' copies of a message.
  static constexpr std::size_t kFrameBytes = 1024;
  // Channel-27 frames that fit an answer behind the 6 header bytes.
  static constexpr std::size_t kAnswerFrameBytes = kFrameBytes - 6;
  static constexpr unsigned char kRequestChannel = 26;
  static constexpr unsigned char kAnswerChannel = 27;

  // Where the receive loop takes its bytes from: the client's socket, or any
  // byte stream of a test.
  class ByteStream {
   public:
    virtual ~ByteStream() = default;
    // 1 when bytes (or the end) can be read, 0 after timeoutMs without, -1 on failure.
    virtual int wait(int timeoutMs) = 0;
    // As recv: the bytes read, 0 at the end, -1 on failure.
    virtual ssize_t receive(void* buffer, std::size_t size) = 0;
  };

  enum class Received {
    kMessage,  // a whole message in the buffer
    kSilence,  // 10 s without data; the connection stays unless silent too long
    kEnd,      // the connection is over
  };

  AppProtocol() = default;
  virtual ~AppProtocol() = default;
  AppProtocol(const AppProtocol&) = delete;
  AppProtocol& operator=(const AppProtocol&) = delete;

  // Serves port 6000 on the calling thread; returns only when a socket call fails.
  void StartServer();
  void StopServer() {}

  // A client's connection thread.
  void OnConnect(int fd);
  void Listen(int fd);

  // One message of the stream into message (kMessageBytes), its whole length
  // into length. fd only names the connection in the console lines.
  Received ReceiveMessage(ByteStream& stream, int fd, std::uint8_t* message, int& length);
  // Dispatches one whole message; false when it cannot be relayed and the
  // connection must end.
  bool OnMessage(int fd, const std::uint8_t* message, int length);

  void OnHeartbeat(int fd, const std::uint8_t* message, int length);
  bool OnConfig(int fd, const std::uint8_t* message, int length);
  bool OnTransparent(int fd, const std::uint8_t* message, int length);
  bool OnIoAoABZ(int fd, const std::uint8_t* message, int length);
  bool OnSetTCP(int fd, const std::uint8_t* message, int length);
  bool OnScanTCP(int fd, const std::uint8_t* message, int length);
  bool OnTransTCP(int fd, const std::uint8_t* message, int length);
  bool OnStopTCP(int fd, const std::uint8_t* message, int length);
  bool OnEndDevInfo(int fd, const std::uint8_t* message, int length);
  bool OnConfigSpiTCP(int fd, const std::uint8_t* message, int length);
  bool OnSpiTCP(int fd, const std::uint8_t* message, int length);

  // [type BE][len BE][data] written on the channel; the router's result.
  static int WriteToCodeSys(unsigned short type, unsigned char channel, const void* data, unsigned short len);

 private:
  enum class Cycle { kTransparent, kIoAoABZ, kTcp };
  struct Relay;

  bool relayOnce(int fd, const std::uint8_t* message, const Relay& relay);
  bool relayModal(int fd, const std::uint8_t* message, int length, const Relay& relay, Cycle cycle);
  std::atomic<std::uint8_t>& flagOf(Cycle cycle);
  void runCycle(Cycle cycle, std::uint32_t connection, int fd, const std::vector<std::uint8_t>& message);
  // Sends an answer only while connection is the current one.
  void answerConnection(std::uint32_t connection, int fd, const std::uint8_t* data, std::size_t size);
  void endConnection(int fd);

  std::atomic<std::int32_t> m_client_count{0};
  std::atomic<std::int32_t> m_silence_count{0};
  std::atomic<std::uint8_t> m_connected{0};
  std::uint8_t m_message[kMessageBytes] = {};
  std::atomic<std::uint8_t> m_cycle_flag{0};
  std::atomic<std::uint8_t> m_ioaoabz_cycle_flag{0};
  std::atomic<std::uint8_t> m_tcp_cycle_flag{0};
  std::atomic<std::uint8_t> m_end_device{0};

  // Held from a request on channel 26 until its wait on channel 27 ends, so
  // that no relay takes another's answer.
  std::mutex relayMutex_;
  // Guards the current connection's number against its end while a cycle answers.
  std::mutex connectionMutex_;
  std::uint32_t connection_ = 0;
};

}  // namespace zelor::modules::service
