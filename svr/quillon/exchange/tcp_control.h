#pragma once

#include <string>

// Text commands that reach the data server as packet id 262.
class tcpControl {
 public:
  // Parses "name(arguments)" and answers into reply: "unknow cmd" for a text
  // without brackets, "error" for a name without a handler.
  static void handle_TCPIP_Raw_Cmd(std::string& command, std::string& reply);

  // Handlers: (arguments, reply).
  // Six arrays: controller alarms, servo errors of joints 1..4, auxiliary axis.
  static void handle_remote_control_GetErrorID(std::string& arguments, std::string& reply);
  static void handle_remote_control_ClearCollision(std::string& arguments, std::string& reply);
  // mass[,x,y,z]: "0" stored, "-1" a wrong count, "-2" out of range.
  static void handle_remote_control_SetLoad(std::string& arguments, std::string& reply);
  // joint 0..3,state while disabled: "0" switched, else "-1".
  static void handle_remote_control_BrakeControl(std::string& arguments, std::string& reply);
};
