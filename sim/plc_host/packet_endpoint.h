#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "common/protocol/packet.h"

namespace zelor::sim {

// Other processes reach the host's mailbox through a UNIX-domain
// sequenced-packet socket: each exchange is one 2056-byte request message and
// one answer message, the 2056-byte reply or one status byte.
inline constexpr unsigned char kEndpointTimedOut = 0;  // no reply within 2 s
inline constexpr unsigned char kEndpointRefused = 1;   // the request was not one whole packet

enum class ExchangeResult { kReply, kTimedOut, kRefused, kError };

// Client helper: one exchange over a fresh connection.
ExchangeResult ExchangePacket(const std::string& socketPath, const Packet& request, Packet& reply);

class PacketEndpoint {
 public:
  // Answers one request: true with the reply, false on time-out.
  using Handler = std::function<bool(const Packet& request, Packet& reply)>;

  PacketEndpoint() = default;
  ~PacketEndpoint();
  PacketEndpoint(const PacketEndpoint&) = delete;
  PacketEndpoint& operator=(const PacketEndpoint&) = delete;

  bool Start(const std::string& socketPath, Handler handler, std::string& error);
  // Ends the serving thread and removes the socket file.
  void Stop();

 private:
  void serve();
  // False when the peer has closed.
  bool answer(int client);

  std::string path_;
  Handler handler_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace zelor::sim
