#pragma once

#include <QString>

// What the data-server object hands every sub-process it starts.
struct SubProcessParam {
  int packet_size = 0;
  void* rtsParam = nullptr;  // the host's axes-group record
  int data_port = 0;
  QString version;
  int lua_port = 0;
  int debug_port = 0;
  int debug_size = 0;
  int broadcast_port = 0;
  QString broadcast_chkmsg;
  QString broadcast_msg;
};
