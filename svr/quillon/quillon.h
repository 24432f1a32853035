#pragma once

#include "settings/data_setting.h"
#include "subProcess/sub_process_factory.h"

// The data-server object: its settings, its standard output in the FIFO, the
// packet-exchange thread, and the sub-processes it owns as their factory.
class Quillon : public SubProcessFactory {
 public:
  // Built on the first call from any thread.
  static Quillon& instance();

  // Starts the sub-processes with the host's axes-group record.
  void init(void* rtsParam);
  // Stops them; the packet exchange keeps running.
  void deinit();

  void readSetting();
  void setSetting();
  DataSetting* getSetting() { return &setting_; }
  int testPort() const { return test_port_; }

 private:
  Quillon();

  DataSetting setting_;
  int test_port_ = kDefaultTestPort;
};
