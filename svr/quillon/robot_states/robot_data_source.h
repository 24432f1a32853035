#pragma once

struct AxesGroupRef;

// What the state-detection thread reads of the data sub-process: the host's
// axes-group record it was last handed (null before that).
class RobotDataSource {
 public:
  virtual AxesGroupRef* robotData() const = 0;

 protected:
  ~RobotDataSource() = default;
};
