// brevan's feedback ports 30004, 30005 and 30006 against the peer's record
// writer: packet layouts, periods, settings-file changes, clients and the
// record's validity flag.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/real_time_data.h"
#include "common/util/feedback_formats.h"
#include "data_server_peer/record_writer.h"
#include "install_paths.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

using zelor::sim::RecordWriter;

const std::string kFunctionDir = std::string(zelor::paths::kProjectDir) + "/settings/function/";
const std::string k30005File = kFunctionDir + "tcp30005Feedback.json";
const std::string k30006File = kFunctionDir + "tcp30006Feedback.json";

std::string patternBytes() {
  RealTimeData_t r{};
  RecordWriter::fillPattern(r);
  return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

// Each write gets a modification time one second on from the last, so the
// watcher (whole seconds) sees every change at once.
void writeSettings(const std::string& path, const std::string& text) {
  static std::time_t stamp = std::time(nullptr) + 10;
  {
    std::ofstream out(path, std::ios::trunc);
    out << text;
  }
  const timeval times[2] = {{stamp, 0}, {stamp, 0}};
  utimes(path.c_str(), times);
  ++stamp;
}

std::string settings30006(const std::vector<std::string>& on, int cycle) {
  std::string text = "{";
  for (const auto& k : zelor::common::util::kFeedbackSwitchKeys) {
    const bool set = std::find(on.begin(), on.end(), k.key) != on.end();
    text += std::string("\"") + k.key + "\": " + (set ? "true" : "false") + ", ";
  }
  return text + "\"cycle\": " + std::to_string(cycle) + "}";
}

std::vector<std::string> allKeys() {
  std::vector<std::string> keys;
  for (const auto& k : zelor::common::util::kFeedbackSwitchKeys) keys.emplace_back(k.key);
  return keys;
}

const std::string kReload30006 = "[monitorRealTimeConfigFileChange] found file has changed .... reload";
const std::string kReload30005 = "[monitorRealTimeConfigFileChange30005] found file has changed .... reload";

std::string settings30005(int cycle) { return "{\"cycle\": " + std::to_string(cycle) + "}"; }

// brevan's console (the FIFO), read as it comes.
class Console {
 public:
  Console() {
    waitFor([&] { return (fd_ = open(zelor::paths::kFifoBrevan, O_RDONLY | O_NONBLOCK)) >= 0; }, 5s);
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
  std::size_t count(const std::string& line) {
    std::size_t n = 0;
    const std::string& t = text();
    for (std::size_t at = t.find(line); at != std::string::npos; at = t.find(line, at + 1)) ++n;
    return n;
  }

 private:
  int fd_ = -1;
  std::string text_;
};

// Arrival times of packets that frame themselves by their first bytes.
struct Packet {
  std::string bytes;
  Clock::time_point at;
};

// Splits a stream of whole packets of the given length.
std::vector<std::string> split(const std::string& stream, std::size_t length) {
  std::vector<std::string> packets;
  for (std::size_t at = 0; at + length <= stream.size(); at += length) packets.push_back(stream.substr(at, length));
  return packets;
}

// Reads n packets of the given length, timing each one's arrival.
std::vector<Packet> timedPackets(Client& client, std::size_t length, int n) {
  std::vector<Packet> packets;
  for (int i = 0; i < n; ++i) {
    std::string p = client.read(length, 2s);
    if (p.size() != length) break;
    packets.push_back({std::move(p), Clock::now()});
  }
  return packets;
}

double medianIntervalMs(const std::vector<Packet>& packets) {
  std::vector<double> gaps;
  for (std::size_t i = 1; i < packets.size(); ++i) {
    gaps.push_back(std::chrono::duration<double, std::milli>(packets[i].at - packets[i - 1].at).count());
  }
  if (gaps.empty()) return -1;
  std::sort(gaps.begin(), gaps.end());
  return gaps[gaps.size() / 2];
}

bool waitListening(int port) { return waitFor([&] { return listening(port); }, 10s); }

class Feedback : public ::testing::Test {
 protected:
  // Settings in place before brevan starts; an empty text removes the file.
  void start(const std::string& text30006, const std::string& text30005, RecordWriter::Mode mode = RecordWriter::Mode::Pattern) {
    for (auto [path, text] : {std::pair{k30006File, text30006}, std::pair{k30005File, text30005}}) {
      if (text.empty()) {
        unlink(path.c_str());
      } else {
        writeSettings(path, text);
      }
    }
    writer_.start(mode);
    brevan_ = std::make_unique<Brevan>();
    ASSERT_TRUE(waitListening(30004) && waitListening(30005) && waitListening(30006));
    console_ = std::make_unique<Console>();
    // The watcher's first pass re-reads both files (made at start-up when missing).
    ASSERT_TRUE(waitFor([&] { return console_->count(kReload30006) == 1 && console_->count(kReload30005) == 1; }, 5s));
  }
  void TearDown() override { writer_.stop(); }

  RecordWriter writer_;
  ChannelRecorder channel15_{15};
  std::unique_ptr<Brevan> brevan_;
  std::unique_ptr<Console> console_;
  const std::string record_ = patternBytes();
};

TEST_F(Feedback, Port30004SendsTheWholeRecordEvery8ms) {
  start(settings30006({}, 0), settings30005(0));
  Client client(30004);
  ASSERT_TRUE(client.connected());
  const std::vector<Packet> packets = timedPackets(client, 1440, 60);
  ASSERT_EQ(packets.size(), 60u);
  for (const Packet& p : packets) {
    ASSERT_EQ(p.bytes.substr(0, 2), std::string("\xA0\x05", 2));
    ASSERT_EQ(p.bytes.substr(2), record_.substr(2)) << "record bytes 2-1439";
    ASSERT_EQ(p.bytes.substr(48, 8), std::string("\xEF\xCD\xAB\x89\x67\x45\x23\x01", 8));
  }
  const double median = medianIntervalMs(packets);
  EXPECT_GE(median, 7.0);
  EXPECT_LE(median, 20.0);
}

TEST_F(Feedback, Port30006LayoutsFromItsSettings) {
  start(settings30006(allKeys(), 8), settings30005(8));
  {
    Client client(30006);
    const std::vector<std::string> packets = split(client.read(1252 * 5, 3s), 1252);
    ASSERT_EQ(packets.size(), 5u);
    for (const std::string& p : packets) {
      ASSERT_EQ(p.substr(0, 4), std::string("\xE4\x04\x00\x00", 4));
      struct Place {
        const char* name;
        std::size_t at, from, count;
      };
      for (const Place& pl : {Place{"TestValue", 36, 48, 8}, Place{"QTarget", 156, 192, 48},
                              Place{"ActualTCPForce", 540, 576, 48}, Place{"HandType", 924, 1008, 4},
                              Place{"ratio bytes", 928, 1012, 13}, Place{"status bytes", 941, 1025, 13},
                              Place{"MActual[6]", 956, 1120, 48}, Place{"Load", 1004, 1168, 8},
                              Place{"ActualQuaternion[4]", 1220, 1384, 32}}) {
        EXPECT_EQ(p.substr(pl.at, pl.count), record_.substr(pl.from, pl.count)) << pl.name;
      }
      EXPECT_EQ(p.substr(954, 2), std::string(2, '\0'));
      EXPECT_EQ(p.find(record_.substr(624, 48)), std::string::npos) << "the keyless group was sent";
    }
  }
  // Each layout for a client that connects once the sender has taken it.
  struct Case {
    const char* name;
    std::vector<std::string> keys;
    std::string expected;  // empty: nothing is sent
  };
  const Case cases[] = {
      {"length and robot mode", {"MessageSize", "RobotMode"}, std::string("\x0C\0\0\0", 4) + record_.substr(24, 8)},
      {"user and load", {"User", "Load"}, record_.substr(1012, 1) + std::string(3, '\0') + record_.substr(1168, 8)},
      {"every key false", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = console_->count(kReload30006);
    writeSettings(k30006File, settings30006(c.keys, 8));
    ASSERT_TRUE(waitFor([&] { return console_->count(kReload30006) > before; }, 3s));
    Client client(30006);
    if (c.expected.empty()) {
      EXPECT_EQ(client.readFor(300ms), "") << "a packet for a client with every field off";
      continue;
    }
    const std::vector<std::string> packets = split(client.read(c.expected.size() * 10, 3s), c.expected.size());
    ASSERT_EQ(packets.size(), 10u);
    for (const std::string& p : packets) EXPECT_EQ(p, c.expected);
  }
}

TEST_F(Feedback, Changing30006SettingsChangesAConnectedClientsPacketsWithoutDroppingIt) {
  start(settings30006(allKeys(), 8), settings30005(8));
  Client client(30006);
  ASSERT_EQ(client.read(1252 * 3, 3s).size(), 1252u * 3);
  writeSettings(k30006File, settings30006({"MessageSize", "RobotMode"}, 8));
  // Self-framing packets: 1252 bytes starting E4 04, then 12 starting 0C 00.
  std::string stream;
  std::size_t at = 0;
  bool changed = false;
  const auto deadline = Clock::now() + 3s;
  while (!changed && Clock::now() < deadline) {
    stream += client.read(12, 500ms);
    while (!changed && at + 2 <= stream.size()) {
      const auto length = static_cast<std::size_t>(static_cast<unsigned char>(stream[at]) |
                                                   static_cast<unsigned char>(stream[at + 1]) << 8);
      ASSERT_TRUE(length == 1252 || length == 12) << "misframed at byte " << at;
      if (at + length > stream.size()) break;
      if (length == 12) {
        changed = true;
        EXPECT_EQ(stream.substr(at + 4, 8), record_.substr(24, 8));
      }
      at += length;
    }
  }
  EXPECT_TRUE(changed) << "still 1252-byte packets";
  EXPECT_EQ(client.read(12 * 5, 2s).size(), 60u) << "the client was dropped";
}

TEST_F(Feedback, PeriodsFollowTheCycleOfEitherFile) {
  start(settings30006({"MessageSize", "TestValue"}, 2), settings30005(20));
  // Each client connects right before it is timed, so no packets queue up.
  auto median = [](int port, std::size_t length, int n) {
    Client client(port);
    return medianIntervalMs(timedPackets(client, length, n));
  };
  EXPECT_GE(median(30005, 1440, 15), 15.0) << "cycle 20 gives 20 ms";
  EXPECT_LE(median(30006, 12, 60), 12.0) << "cycle 2 gives 4 ms";

  writeSettings(k30005File, settings30005(2));
  writeSettings(k30006File, settings30006({"MessageSize", "TestValue"}, 20));
  ASSERT_TRUE(waitFor([&] { return console_->count(kReload30005) == 2 && console_->count(kReload30006) == 2; }, 3s));
  EXPECT_LE(median(30005, 1440, 60), 12.0);
  EXPECT_GE(median(30006, 12, 15), 15.0);
}

TEST_F(Feedback, MissingSettingsFilesAreCreatedWithTheirDefaults) {
  start("", "");
  EXPECT_NE(readFile(k30006File).find("\"cycle\""), std::string::npos);
  EXPECT_NE(readFile(k30005File).find("\"cycle\""), std::string::npos);
  Client c30006(30006);
  EXPECT_EQ(c30006.readFor(300ms), "") << "every field off";
  Client c30005(30005);
  EXPECT_LE(medianIntervalMs(timedPackets(c30005, 1440, 60)), 12.0) << "cycle 0 gives 4 ms";
}

TEST_F(Feedback, Touching30005SettingsReinitialisesOnlyThatSender) {
  // start() saw the watcher's first pass re-read both existing files once.
  start(settings30006({"MessageSize"}, 8), settings30005(8));
  writeSettings(k30005File, settings30005(8));
  ASSERT_TRUE(waitFor([&] { return console_->count(kReload30005) == 2; }, 3s));
  // More than one pass of the once-a-second watcher reloads nothing else.
  EXPECT_TRUE(zelor::test::staysFalse([&] { return console_->count(kReload30006) != 1; }, 1200ms));
  EXPECT_EQ(console_->count(kReload30006), 1u);
  EXPECT_EQ(console_->count(kReload30005), 2u);
}

TEST_F(Feedback, ClosedClientIsDroppedAndAnEleventhWaitsForAFreeSlot) {
  start(settings30006({}, 0), settings30005(8));
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < 10; ++i) {
    clients.push_back(std::make_unique<Client>(30004));
    ASSERT_EQ(clients.back()->read(1440, 3s).size(), 1440u) << "client " << i;
  }
  Client eleventh(30004);
  ASSERT_TRUE(eleventh.connected()) << "held in the backlog";
  EXPECT_EQ(eleventh.readFor(300ms), "");
  clients.front()->close();
  const std::string first = eleventh.read(1440 * 3, 3s);
  ASSERT_EQ(first.size(), 1440u * 3) << "the 11th client never got a slot";
  for (const std::string& p : split(first, 1440)) EXPECT_EQ(p.substr(0, 2), std::string("\xA0\x05", 2));
  for (std::size_t i = 1; i < clients.size(); ++i) {
    clients[i]->readFor(50ms);
    EXPECT_EQ(clients[i]->read(1440, 2s).size() % 1440, 0u);
  }
  EXPECT_TRUE(waitFor([&] { return console_->count("[tcpDispenser::_send] client 0 socket:") == 1; }, 2s));
}

TEST_F(Feedback, NothingIsSentWhileTheRecordIsInvalidAndSettingsStillApply) {
  start(settings30006({"MessageSize"}, 8), settings30005(8));
  Client client(30004);
  ASSERT_EQ(client.read(1440, 3s).size(), 1440u);
  writer_.holdInvalid(true);
  client.readFor(100ms);
  EXPECT_EQ(client.readFor(500ms), "") << "sent while the flag was 0";
  EXPECT_TRUE(channel15_.waitForLine(" waiting for a vaild value ...", 5s));

  // The 30006 sender also waits for the flag; a change of its settings still applies.
  auto periodLines = [&] {
    std::size_t n = 0;
    for (const std::string& line : channel15_.lines()) n += line.find("period 20") != std::string::npos;
    return n;
  };
  writeSettings(k30006File, settings30006({"MessageSize"}, 20));
  EXPECT_TRUE(waitFor([&] { return periodLines() >= 1; }, 2500ms)) << "the re-initialisation hung on the flag";

  writer_.holdInvalid(false);
  const std::string resumed = client.read(1440 * 2, 3s);
  ASSERT_EQ(resumed.size(), 1440u * 2) << "sending did not resume";
  EXPECT_EQ(resumed.substr(1440, 2), std::string("\xA0\x05", 2));
}

TEST_F(Feedback, NoPacketMixesTwoRewritesOfASlowWriter) {
  start(settings30006({}, 0), settings30005(8), RecordWriter::Mode::Slow);
  Client client(30004);
  const std::vector<std::string> packets = split(client.read(1440 * 150, 5s), 1440);
  ASSERT_EQ(packets.size(), 150u);
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  for (std::size_t k = 0; k < packets.size(); ++k) {
    std::uint64_t counter;
    std::memcpy(&counter, packets[k].data() + 8, 8);
    for (std::size_t off = 16; off + 8 <= 1440; off += 8) {
      std::uint64_t word;
      std::memcpy(&word, packets[k].data() + off, 8);
      ASSERT_EQ(word, counter) << "packet " << k << " mixes rewrites " << counter << " and " << word << " at " << off;
    }
    if (k == 0) first = counter;
    last = counter;
  }
  EXPECT_GT(last, first) << "the record was not rewritten";
}

}  // namespace
}  // namespace zelor::test
