#pragma once

// A long-running service of the data server: an object owning zero or more
// worker threads, reached only through the factory by kind and method id.
class ISubProcess {
 public:
  enum SPType { CORE = 0, LUA = 1, DATA = 2, CLIENT = 3, DEBUG = 4 };
  static constexpr int kNotRunning = 2;
  static constexpr int kRunning = 0;

  ISubProcess() = default;
  ISubProcess(const ISubProcess&) = delete;
  ISubProcess& operator=(const ISubProcess&) = delete;

  virtual void start() = 0;
  virtual void stop() = 0;
  virtual int status() { return status_; }
  virtual const void* getParam() const = 0;
  // The sub-process's method table; in, out and ret are fixed per id.
  virtual void interCall(int id, void* in, void* out, void** ret) {}
  virtual ~ISubProcess() = default;

 protected:
  int status_ = kNotRunning;
};
