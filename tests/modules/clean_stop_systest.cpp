// brevan started and stopped again and again with a client on every port:
// SIGTERM ends it with exit 0 and no sanitizer report, its feedback threads
// ended before the objects they use go.
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data_server_peer/record_writer.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

constexpr const char* kSanitizerLogs = "/tmp/brevan_clean_stop_sanitizer";
constexpr int kRounds = 5;

std::string reports() {
  std::string all;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(kSanitizerLogs, ignored)) {
    all += readFile(entry.path().string());
  }
  return all;
}

class BrevanCleanStop : public ::testing::TestWithParam<int> {};

TEST_P(BrevanCleanStop, StartsAndStopsWithClientsOnEveryPort) {
  std::filesystem::remove_all(kSanitizerLogs);
  std::filesystem::create_directories(kSanitizerLogs);
  const char* old = std::getenv("ASAN_OPTIONS");
  const std::string saved = old != nullptr ? old : "";
  const std::string options = (saved.empty() ? "" : saved + ":") + "log_path=" + std::string(kSanitizerLogs) + "/asan";
  setenv("ASAN_OPTIONS", options.c_str(), 1);

  zelor::sim::RecordWriter writer;
  writer.start(zelor::sim::RecordWriter::Mode::Pattern);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Brevan brevan;
    ASSERT_TRUE(brevan.waitForPorts());
    ASSERT_TRUE(waitFor([] { return listening(30004) && listening(30005) && listening(30006); }, 10s));
    std::vector<std::unique_ptr<Client>> clients;
    for (const int port : {29999, 30003, 30004, 30005, 30006}) {
      clients.push_back(std::make_unique<Client>(port));
      EXPECT_TRUE(clients.back()->connected()) << "port " << port;
    }
    // The stream runs: a whole record came on 30004.
    EXPECT_EQ(clients[2]->read(1440, 3s).size(), 1440u);
    const int status = brevan.process().stop(SIGTERM, std::chrono::seconds(10));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string reported = reports();
    ASSERT_TRUE(reported.empty()) << reported;
  }
  writer.stop();
  if (old != nullptr) {
    setenv("ASAN_OPTIONS", saved.c_str(), 1);
  } else {
    unsetenv("ASAN_OPTIONS");
  }
  std::filesystem::remove_all(kSanitizerLogs);
}

// Four runs of five rounds: twenty starts and stops, each run within a test's time.
INSTANTIATE_TEST_SUITE_P(Runs, BrevanCleanStop, ::testing::Range(0, 4));

}  // namespace
}  // namespace zelor::test
