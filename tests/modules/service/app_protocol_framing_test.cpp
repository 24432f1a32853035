// The app protocol's receive step on a byte stream without a socket: whole
// messages however the bytes arrive, and the ends of a connection.
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/app_protocol.h"

namespace zelor::modules::service {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Received = AppProtocol::Received;

// Delivers the given pieces one receive each; then the end, a failure, or
// silence.
class PieceStream : public AppProtocol::ByteStream {
 public:
  enum class After { kEnd, kFailure, kSilence };
  PieceStream(std::vector<Bytes> pieces, After after) : pieces_(pieces.begin(), pieces.end()), after_(after) {}
  int wait(int) override {
    if (!pieces_.empty() || after_ != After::kSilence) return after_ == After::kFailure && pieces_.empty() ? -1 : 1;
    return 0;
  }
  ssize_t receive(void* buffer, std::size_t size) override {
    if (pieces_.empty()) return after_ == After::kEnd ? 0 : -1;
    Bytes& piece = pieces_.front();
    const std::size_t n = std::min(size, piece.size());
    std::memcpy(buffer, piece.data(), n);
    piece.erase(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    if (piece.empty()) pieces_.pop_front();
    return static_cast<ssize_t>(n);
  }

 private:
  std::deque<Bytes> pieces_;
  After after_;
};

Bytes message(std::uint16_t type, const Bytes& body, std::uint16_t declared) {
  Bytes m = {1, 2, 3, 4, static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type),
             static_cast<std::uint8_t>(declared >> 8), static_cast<std::uint8_t>(declared)};
  m.insert(m.end(), body.begin(), body.end());
  return m;
}

std::vector<Bytes> split(const Bytes& all, const std::vector<std::size_t>& sizes) {
  std::vector<Bytes> pieces;
  std::size_t at = 0;
  for (std::size_t size : sizes) {
    pieces.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                        all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), at + size)));
    at += size;
  }
  if (at < all.size()) pieces.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at), all.end());
  return pieces;
}

TEST(AppProtocolFraming, TakesWholeMessagesHoweverTheyArriveAndEndsOnBadOnes) {
  const Bytes body(300, 0x5A);
  const Bytes good = message(5, body, 300);
  Bytes largest = message(1, Bytes(AppProtocol::kMessageBytes - 8, 7), AppProtocol::kMaxBody);
  struct Case {
    const char* name;
    std::vector<Bytes> pieces;
    PieceStream::After after;
    Received expected;
    Bytes message;  // the message taken, for kMessage
  };
  Bytes twoMessages = good;
  twoMessages.insert(twoMessages.end(), good.begin(), good.end());
  const Case cases[] = {
      {"at once", {good}, PieceStream::After::kEnd, Received::kMessage, good},
      {"byte by byte", split(good, std::vector<std::size_t>(good.size(), 1)), PieceStream::After::kEnd,
       Received::kMessage, good},
      {"3 + 5 + rest", split(good, {3, 5}), PieceStream::After::kEnd, Received::kMessage, good},
      {"two in one piece: the first", {twoMessages}, PieceStream::After::kEnd, Received::kMessage, good},
      {"the largest body", split(largest, {8, 1000}), PieceStream::After::kEnd, Received::kMessage, largest},
      {"zero body length", {message(1, {}, 0)}, PieceStream::After::kSilence, Received::kEnd, {}},
      {"a body over 2043 bytes", {message(1, Bytes(2044, 1), 2044)}, PieceStream::After::kSilence, Received::kEnd, {}},
      {"closed inside the header", {Bytes{1, 2, 3}}, PieceStream::After::kEnd, Received::kEnd, {}},
      {"failed inside the body", {message(5, Bytes(10, 1), 300)}, PieceStream::After::kFailure, Received::kEnd, {}},
      {"closed", {}, PieceStream::After::kEnd, Received::kEnd, {}},
      {"wait failed", {}, PieceStream::After::kFailure, Received::kEnd, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AppProtocol protocol;
    PieceStream stream(c.pieces, c.after);
    std::vector<std::uint8_t> buffer(AppProtocol::kMessageBytes, 0xEE);
    int length = -1;
    EXPECT_EQ(protocol.ReceiveMessage(stream, -1, buffer.data(), length), c.expected);
    if (c.expected == Received::kMessage) {
      ASSERT_EQ(length, static_cast<int>(c.message.size()));
      EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), c.message);
    }
  }
}

TEST(AppProtocolFraming, SilenceEndsTheConnectionOnTheThirdWait) {
  AppProtocol protocol;
  PieceStream silent({}, PieceStream::After::kSilence);
  std::uint8_t buffer[AppProtocol::kMessageBytes];
  int length = 0;
  EXPECT_EQ(protocol.ReceiveMessage(silent, -1, buffer, length), Received::kSilence);
  EXPECT_EQ(protocol.ReceiveMessage(silent, -1, buffer, length), Received::kSilence);
  EXPECT_EQ(protocol.ReceiveMessage(silent, -1, buffer, length), Received::kEnd);
}

TEST(AppProtocolFraming, MalformedMessagesHandedInEndTheConnectionUnrelayed) {
  AppProtocol protocol;
  struct Case {
    const char* name;
    Bytes message;
  };
  const Case cases[] = {
      {"header only", message(5, {}, 0)},
      {"declared longer than given", message(5, Bytes(3, 1), 4)},
      {"declared shorter than given", message(5, Bytes(3, 1), 2)},
      {"over the message buffer", message(1, Bytes(AppProtocol::kMaxBody + 1, 1), AppProtocol::kMaxBody + 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(protocol.OnMessage(-1, c.message.data(), static_cast<int>(c.message.size())));
  }
  EXPECT_FALSE(protocol.OnMessage(-1, nullptr, 0));
}

}  // namespace
}  // namespace zelor::modules::service
