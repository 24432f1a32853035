// Port 6000 as an app sees it, with the test playing the PLC side on router
// channels 26 (requests) and 27 (answers) of segment 12.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/router/message_router.h"
#include "install_paths.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

using zelor::modules::router::MessageRouter;
using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& text) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

std::string str(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string dump(const std::string& bytes) {
  std::string out;
  char two[4];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, "%02X ", c);
    out += two;
  }
  return out;
}

std::string dump(const Bytes& bytes) { return dump(str(bytes)); }

// The PLC application: takes every request off channel 26 and, as its script
// says, writes an answer on channel 27 after a delay, or never.
class PlcSide {
 public:
  struct Answer {
    Bytes data;  // framed by the router
    std::chrono::milliseconds delay{0};
  };
  // The request as read (router length included); nothing: stay silent.
  using Script = std::function<std::optional<Answer>(const Bytes& request)>;

  PlcSide() : router_(MessageRouter::Instance()), thread_([this] { run(); }) {}
  ~PlcSide() {
    stop_ = true;
    thread_.join();
  }

  void answer(Script script) {
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
  }
  std::vector<Bytes> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::vector<Clock::time_point> times() {
    std::lock_guard lock(mutex_);
    return times_;
  }
  std::size_t count() { return requests().size(); }
  void clear() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    times_.clear();
  }

 private:
  void run() {
    std::vector<std::uint8_t> buffer(MessageRouter::kChannelBytes);
    while (!stop_) {
      const int got = router_->ReadNoBlock(26, buffer.data(), buffer.size());
      if (got <= 0) {
        std::this_thread::sleep_for(2ms);
        continue;
      }
      const Bytes request(buffer.begin(), buffer.begin() + got);
      Script script;
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        times_.push_back(Clock::now());
        script = script_;
      }
      if (!script) continue;
      if (const std::optional<Answer> answer = script(request)) {
        std::this_thread::sleep_for(answer->delay);
        router_->Write(27, answer->data.data(), static_cast<unsigned short>(answer->data.size()));
      }
    }
  }

  MessageRouter* router_;
  std::mutex mutex_;
  Script script_;
  std::vector<Bytes> requests_;
  std::vector<Clock::time_point> times_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// brevan's console: the FIFO read by the test from before brevan starts.
class Console {
 public:
  Console() {
    mkfifo(zelor::paths::kFifoBrevan, 0666);
    fd_ = open(zelor::paths::kFifoBrevan, O_RDONLY | O_NONBLOCK);
  }
  ~Console() {
    if (fd_ >= 0) close(fd_);
  }
  const std::string& text() {
    char buf[65536];
    ssize_t n;
    while (fd_ >= 0 && (n = read(fd_, buf, sizeof buf)) > 0) text_.append(buf, static_cast<std::size_t>(n));
    return text_;
  }
  bool waitForText(const std::string& line, std::chrono::milliseconds timeout = 3s) {
    return waitFor([&] { return text().find(line) != std::string::npos; }, timeout);
  }

 private:
  int fd_ = -1;
  std::string text_;
};

class AppProtocolPort : public ::testing::Test {
 protected:
  void SetUp() override {
    brevan_ = std::make_unique<Brevan>();
    ASSERT_TRUE(waitFor([] { return listening(6000); }, 15s)) << "port 6000 never listened";
  }

  std::unique_ptr<Client> app() {
    auto client = acceptedClient(6000, 5s);
    EXPECT_TRUE(client) << "port 6000 took no client";
    return client;
  }

  void expectHeartbeat(Client& client, const std::string& where) {
    const std::string heartbeat = str(hex("00 00 00 00 00 01 00 01 7F"));
    EXPECT_EQ(dump(client.exchange(heartbeat, heartbeat)), dump(heartbeat)) << where;
  }

  // The socket number of the last connection accepted, from the console.
  std::optional<int> lastAcceptedFd() {
    const std::string key = "[start_tcp_server] : new client conn[";
    const std::string& text = console_.text();
    const std::size_t at = text.rfind(key);
    if (at == std::string::npos) return std::nullopt;
    return std::atoi(text.c_str() + at + key.size());
  }

  Console console_;
  PlcSide plc_;
  std::unique_ptr<Brevan> brevan_;
};

PlcSide::Answer answerOf(const std::string& bytes) { return {hex(bytes)}; }

TEST_F(AppProtocolPort, RelaysEachRequestAndAnswersUnderItsHeader) {
  struct Row {
    const char* sent;
    bool plcAnswers;           // writes 01 02 03 on channel 27
    const char* received;      // "" for nothing
    std::chrono::milliseconds earliest, latest;
    const char* request;       // on channel 26, "" for none
  };
  const Row rows[] = {
      {"00 00 00 00 00 01 00 01 7F", false, "00 00 00 00 00 01 00 01 7F", 0ms, 400ms, ""},
      {"11 22 33 44 00 05 00 02 AB CD", false, "11 22 33 44 00 05 00 00", 140ms, 400ms, "00 06 00 05 00 02 AB CD"},
      {"11 22 33 44 00 05 00 02 AB CD", true, "11 22 33 44 00 05 00 03 01 02 03", 0ms, 400ms,
       "00 06 00 05 00 02 AB CD"},
      {"11 22 33 44 00 02 00 03 AA BB CC", false, "11 22 33 44 00 02 00 00", 140ms, 400ms,
       "00 07 00 02 00 03 AA BB CC"},
      {"11 22 33 44 00 09 00 02 05 06", false, "11 22 33 44 00 09 00", 140ms, 400ms, "00 05 00 09 00 01 05"},
      {"11 22 33 44 00 0B 00 03 01 02 03", false, "", 0ms, 1000ms, "00 06 00 0B 00 02 02 03"},
      {"11 22 33 44 00 03 00 02 00 AA", false, "11 22 33 44 00 03 00 00", 450ms, 800ms, "00 05 00 03 00 01 AA"},
      {"11 22 33 44 00 0B 00 02 01 02", true, "11 22 33 44 00 0B 00 03 01 02 03", 0ms, 800ms, "00 05 00 0B 00 01 02"},
      {"00 00 00 00 00 00 00 01 00", false, "", 0ms, 500ms, ""},
      {"00 00 00 00 00 0C 00 01 00", false, "", 0ms, 500ms, ""},
      {"00 00 00 00 00 01 00 01 7F", false, "00 00 00 00 00 01 00 01 7F", 0ms, 400ms, ""},
  };
  auto client = app();
  ASSERT_TRUE(client);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sent);
    plc_.clear();
    const bool answers = row.plcAnswers;
    plc_.answer([answers](const Bytes&) -> std::optional<PlcSide::Answer> {
      if (answers) return answerOf("01 02 03");
      return std::nullopt;
    });
    const Bytes expected = hex(row.received);
    const auto start = Clock::now();
    client->send(str(hex(row.sent)));
    const std::string got = expected.empty() ? client->readFor(row.latest) : client->read(expected.size(), 2s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_EQ(dump(got), dump(expected));
    if (!expected.empty()) {
      EXPECT_GE(took, row.earliest);
      EXPECT_LE(took, row.latest);
    }
    const std::vector<Bytes> requests = plc_.requests();
    if (*row.request == '\0') {
      EXPECT_TRUE(requests.empty()) << dump(requests.front());
    } else {
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_EQ(dump(requests[0]), dump(hex(row.request)));
    }
  }
  EXPECT_TRUE(brevan_->process().running());
}

TEST_F(AppProtocolPort, ReadsWholeMessagesAndClosesOnBadLengths) {
  {
    // Sent in pieces of 3, 5 and 2 bytes: still one request.
    auto client = app();
    ASSERT_TRUE(client);
    const Bytes message = hex("11 22 33 44 00 05 00 02 AB CD");
    for (auto [at, size] : {std::pair{0, 3}, std::pair{3, 5}, std::pair{8, 2}}) {
      client->send(str(Bytes(message.begin() + at, message.begin() + at + size)));
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(dump(client->read(8, 2s)), dump(hex("11 22 33 44 00 05 00 00")));
    ASSERT_EQ(plc_.count(), 1u);
    EXPECT_EQ(dump(plc_.requests()[0]), dump(hex("00 06 00 05 00 02 AB CD")));
    expectHeartbeat(*client, "after the pieces");
  }
  {
    auto client = app();
    ASSERT_TRUE(client);
    client->send(str(hex("00 00 00 00 00 01 00 00")));
    EXPECT_TRUE(client->closedWithin(2s)) << "a zero body length kept the connection";
    EXPECT_TRUE(console_.waitForText("[AppProtocol::fullRead] recv body ERROR."));
  }
  {
    auto client = app();
    ASSERT_TRUE(client);
    Bytes tooLong = hex("00 00 00 00 00 01 07 FC");
    tooLong.resize(8 + 2044, 0x55);
    client->send(str(tooLong));
    EXPECT_TRUE(client->closedWithin(2s)) << "a 2044-byte body kept the connection";
  }
  {
    // The largest body is echoed whole.
    auto client = app();
    ASSERT_TRUE(client);
    Bytes largest = hex("00 00 00 00 00 01 07 FB");
    largest.resize(8 + 2043, 0x66);
    EXPECT_EQ(dump(client->exchange(str(largest), str(largest))), dump(largest));
  }
  {
    // A relay frame over 1024 bytes (4 + 1021) is refused.
    plc_.clear();
    auto client = app();
    ASSERT_TRUE(client);
    Bytes overFrame = hex("00 00 00 00 00 05 03 FD");
    overFrame.resize(8 + 1021, 0x77);
    client->send(str(overFrame));
    EXPECT_TRUE(client->closedWithin(2s)) << "an oversized request kept the connection";
    EXPECT_EQ(plc_.count(), 0u);
  }
  EXPECT_TRUE(brevan_->process().running());
}

TEST_F(AppProtocolPort, ServesOneClientAtATime) {
  auto first = app();
  ASSERT_TRUE(first);
  {
    Client second(6000);
    ASSERT_TRUE(second.connected());
    EXPECT_TRUE(second.closedWithin(2s)) << "a second client was kept";
  }
  EXPECT_TRUE(console_.waitForText("client is exist, not to do other connect."));
  expectHeartbeat(*first, "the first client after the second was refused");
  first.reset();
  auto next = app();
  ASSERT_TRUE(next);
  expectHeartbeat(*next, "the client after the first left");
}

TEST_F(AppProtocolPort, TransparentCycleRepeatsUntilModeTwo) {
  auto client = app();
  ASSERT_TRUE(client);
  // A mode-1 message too short for a cycle starts none.
  client->send(str(hex("11 22 33 44 00 03 00 01 01")));
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(plc_.count(), 0u);

  const std::string start = str(hex("55 66 77 88 00 03 00 04 01 AA BB CC"));
  client->send(start);
  client->send(start);
  EXPECT_TRUE(console_.waitForText("[AppProtocol::OnTransparent] mode cycle is ing, return"));
  ASSERT_TRUE(waitFor([&] { return plc_.count() >= 5; }, 5s)) << plc_.count();
  const std::vector<Bytes> requests = plc_.requests();
  const std::vector<Clock::time_point> times = plc_.times();
  for (std::size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(dump(requests[i]), dump(hex("00 05 00 03 00 01 CC"))) << i;
    if (i > 0) {
      const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(times[i] - times[i - 1]);
      EXPECT_GE(gap, 300ms) << "two cycles, or no pause, at " << i;
      EXPECT_LE(gap, 800ms) << i;
    }
  }
  // Answers go to the app under the mode-1 message's header.
  plc_.answer([](const Bytes&) { return std::optional(answerOf("0A 0B")); });
  EXPECT_EQ(dump(client->read(10, 3s)), dump(hex("55 66 77 88 00 03 00 02 0A 0B")));

  client->send(str(hex("55 66 77 88 00 03 00 01 02")));
  std::this_thread::sleep_for(500ms);
  const std::size_t stoppedAt = plc_.count();
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(plc_.count(), stoppedAt) << "the cycle went on after mode 2";
  EXPECT_TRUE(console_.waitForText("exit AppProtocol::TransportCycle ."));
}

// Answers of the app's stream: [6 header bytes][BE16 length][data].
std::vector<Bytes> splitAnswers(const std::string& stream) {
  std::vector<Bytes> answers;
  std::size_t at = 0;
  while (at + 8 <= stream.size()) {
    const std::size_t size = 8 + (static_cast<unsigned char>(stream[at + 6]) << 8 | static_cast<unsigned char>(stream[at + 7]));
    if (at + size > stream.size()) break;
    answers.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                         stream.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  }
  return answers;
}

TEST_F(AppProtocolPort, EveryRequestGetsItsOwnAnswerWhileACycleRelays) {
  // The PLC side answers each request, a little later, with the request
  // itself; the requests follow each other for three passes of the cycle.
  plc_.answer([](const Bytes& request) {
    return std::optional(PlcSide::Answer{Bytes(request.begin() + 2, request.end()), 60ms});
  });
  constexpr std::uint8_t kRequests = 30;
  auto client = app();
  ASSERT_TRUE(client);
  client->send(str(hex("00 00 00 04 00 04 00 04 01 00 00 44")));
  ASSERT_TRUE(waitFor([&] { return plc_.count() >= 1; }, 3s));
  std::string stream;
  for (std::uint8_t i = 0; i < kRequests; ++i) {
    const Bytes request = {0, 0, 0, i, 0, 5, 0, 1, i};
    client->send(str(request));
    // Its answer (the frame [00 05][00 01][i]) or time-out answer under its header.
    const bool answered = waitFor(
        [&] {
          stream += client->readFor(20ms);
          for (const Bytes& answer : splitAnswers(stream))
            if (answer[4] == 0 && answer[5] == 5 && answer[3] == i) return true;
          return false;
        },
        3s);
    EXPECT_TRUE(answered) << "request " << int(i);
  }
  client->send(str(hex("00 00 00 04 00 04 00 01 02")));
  stream += client->readFor(300ms);
  // A loaded machine may let an answer come too late: the time-out answer
  // then, never another request's answer.
  int own = 0;
  for (const Bytes& answer : splitAnswers(stream)) {
    if (answer[5] == 4) {
      EXPECT_EQ(dump(answer), dump(hex("00 00 00 04 00 04 00 05 00 04 00 01 44")));
      continue;
    }
    if (answer.size() == 8) {
      EXPECT_EQ(dump(answer), dump(Bytes{0, 0, 0, answer[3], 0, 5, 0, 0}));
      continue;
    }
    EXPECT_EQ(dump(answer), dump(Bytes{0, 0, 0, answer[3], 0, 5, 0, 5, 0, 5, 0, 1, answer[3]})) << "a wrong answer";
    ++own;
  }
  EXPECT_GT(own, 0) << "every request timed out";
}

TEST_F(AppProtocolPort, ACycleOfAClientThatLeftAnswersNoLaterClient) {
  plc_.answer([](const Bytes&) { return std::optional(answerOf("C1 C2")); });
  {
    auto first = app();
    ASSERT_TRUE(first);
    first->send(str(hex("AA AA AA AA 00 07 00 04 01 00 00 77")));
    EXPECT_EQ(dump(first->read(10, 3s)), dump(hex("AA AA AA AA 00 07 00 02 C1 C2")));
  }
  // The next client on the first one's socket number, where the number is
  // free again: an answer meant for the old connection would reach it.
  const std::optional<int> firstFd = lastAcceptedFd();
  ASSERT_TRUE(firstFd);
  std::unique_ptr<Client> next;
  for (int attempt = 0; attempt < 20; ++attempt) {
    next = app();
    ASSERT_TRUE(next);
    if (lastAcceptedFd() == firstFd) break;
    next.reset();
  }
  if (lastAcceptedFd() != firstFd) std::printf("the next client never got socket %d\n", *firstFd);
  expectHeartbeat(*next, "the next client");
  const std::size_t before = plc_.count();
  EXPECT_EQ(dump(next->readFor(3s)), "") << "the next client got the old cycle's answers";
  EXPECT_GE(plc_.count(), before + 2) << "the cycle stopped with its client";
  for (const Bytes& request : plc_.requests()) EXPECT_EQ(dump(request), dump(hex("00 05 00 07 00 01 77")));

  plc_.answer(nullptr);
  next->send(str(hex("AA AA AA AA 00 07 00 01 02")));
  EXPECT_TRUE(console_.waitForText("exit AppProtocol::TransportTCPCycle .", 3s));
  const std::size_t stoppedAt = plc_.count();
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(plc_.count(), stoppedAt);
}

}  // namespace
}  // namespace zelor::test
