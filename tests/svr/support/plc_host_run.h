#pragma once

// Running the PLC-runtime stand-in in data-server mode from a system test:
// its command line, the files it writes, and polling helpers.

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"

namespace zelor::test {

inline constexpr const char* kHostFifoLog = "/tmp/quillon.log";
inline constexpr const char* kHostErr = "/tmp/plc_host.err";

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Polls `done` every 10 ms until it holds or `timeout` passed.
template <typename F>
bool pollUntil(F done, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Every text found in order, each after the previous one.
inline ::testing::AssertionResult foundInOrder(const std::string& text, const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const std::string& part : parts) {
    const std::size_t found = text.find(part, at);
    if (found == std::string::npos) {
      return ::testing::AssertionFailure() << "\"" << part << "\" missing or out of order";
    }
    at = found + part.size();
  }
  return ::testing::AssertionSuccess();
}

// The host in data-server mode under `key`, its standard error in
// kHostErr, the data server's output in kHostFifoLog.
inline std::vector<std::string> dataServerHostCommand(const std::string& key, const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + std::string(kHostErr),
                                   built::kPlcHost, "--key", key, "--data-server", "--quillon", built::kQuillon,
                                   "--fifo-log", kHostFifoLog};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return argv;
}

}  // namespace zelor::test
