#pragma once

// The real libquillon in the PLC-runtime stand-in with the recording kernel:
// start and stop, the data port, the host's records, channel 15's lines,
// project files changed for one test, and packet helpers.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <json/json.h>

#include "built_paths.h"
#include "install_paths.h"
#include "log_reader/log_queue_reader.h"
#include "process.h"
#include "recording_kernel/recording_kernel.h"
#include "support/host_observers.h"
#include "support/http_client.h"
#include "support/plc_host_run.h"

namespace zelor::test {

namespace rec = zelor::sim::recording;

inline constexpr int kDataPort = 12345;

// Project files changed by a test and put back afterwards.
class ProjectFiles {
 public:
  ~ProjectFiles() {
    for (const auto& [path, text] : saved_) {
      if (text.existed) {
        std::ofstream(path, std::ios::trunc) << text.text;
      } else {
        unlink(path.c_str());
      }
    }
  }
  static std::string path(const std::string& relative) {
    return std::string(zelor::paths::kProjectDir) + "/" + relative;
  }
  void write(const std::string& relative, const std::string& text) {
    const std::string p = path(relative);
    bool known = false;
    for (const auto& entry : saved_) known = known || entry.first == p;
    if (!known) saved_.emplace_back(p, Saved{access(p.c_str(), F_OK) == 0, readWholeFile(p)});
    std::ofstream(p, std::ios::trunc) << text;
  }

 private:
  struct Saved {
    bool existed;
    std::string text;
  };
  std::vector<std::pair<std::string, Saved>> saved_;
};

template <typename T>
T paramAt(const rec::LoggedPacket& p, std::size_t offset) {
  T v{};
  if (offset + sizeof v <= p.params.size()) std::memcpy(&v, p.params.data() + offset, sizeof v);
  return v;
}

template <typename T>
std::vector<std::uint8_t> bytesOf(std::initializer_list<T> values) {
  std::vector<std::uint8_t> out;
  for (T v : values) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    out.insert(out.end(), p, p + sizeof v);
  }
  return out;
}

// The ids of the logged packets from `from` on, "q" appended to queued ones.
inline std::vector<std::string> packetTrail(std::size_t from = 0) {
  std::vector<std::string> trail;
  const auto packets = rec::loggedPackets();
  for (std::size_t i = from; i < packets.size(); ++i) {
    trail.push_back(std::to_string(packets[i].id) + ((packets[i].ctrl & 2) != 0 ? "q" : ""));
  }
  return trail;
}

inline Json::Value parseJson(const std::string& text) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) return Json::Value();
  return root;
}

class RecordingHost : public ::testing::Test {
 protected:
  static constexpr const char* kKey = "0x5A21";
  static constexpr key_t kKeyValue = 0x5A21;
  static constexpr int kChannel15 = 15;

  void SetUp() override {
    rec::removeFiles();
    zelor::sim::drainLogChannel(kChannel15);
  }
  void TearDown() override {
    if (host_) host_->stop(SIGKILL, std::chrono::seconds(5));
    rec::removeFiles();
    unlink(kHostFifoLog);
    unlink(kHostErr);
  }

  void start() {
    host_ = std::make_unique<ChildProcess>(
        dataServerHostCommand(kKey, {"--vantrel", built::kRecordingKernel, "--collision-flag"}));
    ASSERT_TRUE(pollUntil([] { return readWholeFile(kHostFifoLog).find("Quillon started") != std::string::npos; },
                          std::chrono::seconds(20)))
        << readWholeFile(kHostErr);
    ASSERT_TRUE(waitForHttp(kDataPort, "/properties/axis", 30000)) << readWholeFile(kHostErr);
  }

  // SIGTERM: release, exit 0; the host's standard error.
  std::string stop() {
    const int status = host_->stop(SIGTERM, std::chrono::seconds(15));
    host_.reset();
    const std::string err = readWholeFile(kHostErr);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << err;
    return err;
  }

  zelor::sim::PlcHostRecords& records() { return records_.get(); }
  void storeRecord(std::uint32_t& word, std::uint32_t value) { std::atomic_ref<std::uint32_t>(word).store(value); }

  int countLines(const std::string& text) { return lines_.count(text); }
  bool waitForLine(const std::string& text, std::chrono::milliseconds timeout) {
    return pollUntil([&] { return countLines(text) > 0; }, timeout);
  }

  // Past the monitor's hardware stop, manual, the switch enabled.
  void enableManual() {
    ASSERT_EQ(httpRequest(kDataPort, "POST", "/interface/hardware", "{\"enable\": false}").status, 200);
    AxesGroupRef& g = records().axesGroup;
    storeRecord(g.m_AutoMode, 2);
    ASSERT_TRUE(waitForLine("monitor: controlType change to auto", std::chrono::seconds(2)));
    storeRecord(g.m_AutoMode, 0);
    ASSERT_TRUE(waitForLine("monitor: controlType change to manual", std::chrono::seconds(2)));
    storeRecord(g.m_EnableState, 1);
    ASSERT_TRUE(waitForLine("monitor: three position switch change to enable", std::chrono::seconds(2)));
  }

  HttpReply get(const std::string& path) { return httpRequest(kDataPort, "GET", path); }
  HttpReply post(const std::string& path, const std::string& body, int timeoutMs = 3000) {
    return httpRequest(kDataPort, "POST", path, body, timeoutMs);
  }

  // The kernel reads its control file before it serves a packet or answers
  // a query, so what follows sees the new state.
  void control(const std::string& text) { ASSERT_TRUE(rec::writeControl(text)); }

  std::unique_ptr<ChildProcess> host_;
  HostRecordsView records_{kKeyValue};
  ChannelLines lines_{kChannel15};
};

}  // namespace zelor::test
