#pragma once

#include <string>

// Text commands that reach the data server as packet id 262.
class tcpControl {
 public:
  // Parses "name(arguments)" and answers into reply: "unknow cmd" for a text
  // without brackets, "error" for a name without a handler.
  static void handle_TCPIP_Raw_Cmd(std::string& command, std::string& reply);
};
