#pragma once

#include <string>
#include <thread>

#include "common/network/tcp_server_tcpip.h"

namespace zelor::modules {

// The text command servers of ports 29999 and 30003: one client each, every
// command executed on the thread of the port that received it.
class tcpipCall {
 public:
  // Built on first use: fills the command table, opens both ports and starts
  // one command thread per port. Lives as long as the program.
  static tcpipCall& Instance();

  tcpipCall(const tcpipCall&) = delete;
  tcpipCall& operator=(const tcpipCall&) = delete;

  // Dispatch of one command; reply arrives preset to "0,{}," and leaves with
  // the result text. Always 0.
  int callFunction(const std::string& name, const std::string& args, std::string& reply);

  // The endless loop of one port.
  void CallProcess(zelor::common::network::TCPServer_TCPIP* server);

  static void registFunction();

 private:
  tcpipCall();
  ~tcpipCall();

  // Runs every complete command of the pending text; replies go to the
  // client only while deliver is set.
  void runCommands(zelor::common::network::TCPServer_TCPIP* server, std::string& pending, bool deliver);

  zelor::common::network::TCPServer_TCPIP server29999_;
  zelor::common::network::TCPServer_TCPIP server30003_;
  std::thread thread29999_;
  std::thread thread30003_;
};

}  // namespace zelor::modules
