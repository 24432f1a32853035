// Probe of message segment 12 through the message router's own class:
//   zelor-router-peer read <channel>          prints the waiting frame in hex
//                                             (nothing waiting: "empty")
//   zelor-router-peer write <channel> <hex>   writes the bytes as given
// Exit status 0 on success, 1 when nothing could be read or written, 2 on a
// bad command line.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/router/message_router.h"

namespace {

using zelor::modules::router::MessageRouter;

int usage() {
  std::fprintf(stderr, "usage: zelor-router-peer read <channel> | write <channel> <hex bytes>\n");
  return 2;
}

bool parseChannel(const char* text, unsigned char& channel) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 255) return false;
  channel = static_cast<unsigned char>(value);
  return true;
}

// Hex digits, optionally separated by spaces, ':' or ','.
bool parseHex(int argc, char** argv, std::vector<unsigned char>& out) {
  std::string digits;
  for (int i = 0; i < argc; ++i) {
    for (const char* p = argv[i]; *p != '\0'; ++p) {
      if (*p == ' ' || *p == ':' || *p == ',') continue;
      if (std::isxdigit(static_cast<unsigned char>(*p)) == 0) return false;
      digits.push_back(*p);
    }
  }
  if (digits.empty() || digits.size() % 2 != 0) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    out.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return true;
}

// The segment's own lines go to stderr: stdout carries only the result.
MessageRouter* attach() {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  MessageRouter* router = MessageRouter::Instance();
  std::fflush(stdout);
  if (saved >= 0) {
    dup2(saved, STDOUT_FILENO);
    close(saved);
  }
  return router;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  unsigned char channel = 0;
  if (!parseChannel(argv[2], channel)) return usage();
  const std::string op = argv[1];
  if (op == "read" && argc == 3) {
    std::vector<unsigned char> buffer(MessageRouter::kChannelBytes);
    MessageRouter* router = attach();
    const int length = router->ReadNoBlock(channel, buffer.data(), buffer.size());
    if (length <= 0) {
      std::printf("empty\n");
      return 1;
    }
    for (int i = 0; i < length; ++i) std::printf(i == 0 ? "%02x" : " %02x", buffer[static_cast<size_t>(i)]);
    std::printf("\n");
    return 0;
  }
  if (op == "write" && argc >= 4) {
    std::vector<unsigned char> frame;
    if (!parseHex(argc - 3, argv + 3, frame) || frame.size() > MessageRouter::kChannelBytes) return usage();
    MessageRouter* router = attach();
    // The bytes go out as given: a well-formed frame through the router's
    // framing (same bytes), anything else raw, for probes of bad frames.
    const size_t payload = frame.size() >= 2 ? frame.size() - 2 : 0;
    if (frame.size() >= 2 && ((size_t{frame[0]} << 8) | frame[1]) == payload) {
      return router->Write(channel, frame.data() + 2, static_cast<unsigned short>(payload)) > 0 ? 0 : 1;
    }
    // Kept to the end, as the router is: leaving it could remove the segment.
    static auto* const raw = new zelor::common::transport::Segment(MessageRouter::kSegmentId);
    return raw->Write(channel, frame.data(), static_cast<unsigned short>(frame.size())) == 1 ? 0 : 1;
  }
  return usage();
}
