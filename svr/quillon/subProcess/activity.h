#pragma once

#include <atomic>

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QThread>

// A worker thread of a sub-process running one member function of its owner.
// The mutex is held for the whole run, so stop and destruction wait until the
// function has returned; the owner clears its own loop flag first.
template <typename T>
class Activity : public QThread {
 public:
  using Function = void (T::*)();

  Activity(T* object, Function function) : object_(object), function_(function) {}

  ~Activity() override {
    stopRequest_ = 1;
    started_ = false;
    mutex_.lock();
    mutex_.unlock();
    wait();
  }

  // Starts the thread once, named name; a started Activity is left alone.
  void startActivity(const QString& name) {
    QMutexLocker lock(&mutex_);
    if (started_) return;
    // Named before the start so that the system thread carries the name.
    setObjectName(name);
    QThread::start(QThread::InheritPriority);
    stopRequest_ = 0;
    started_ = true;
    setPriority(QThread::NormalPriority);
  }

  // Waits until the running function has returned.
  void stopActivity() {
    if (!started_) return;
    stopRequest_ = 1;
    started_ = false;
    mutex_.lock();
    mutex_.unlock();
  }

  bool started() const { return started_; }
  int stopRequested() const { return stopRequest_; }

 protected:
  void run() override {
    QMutexLocker lock(&mutex_);
    try {
      (object_->*function_)();
    } catch (...) {
      started_ = false;
      throw;
    }
    started_ = false;
  }

 private:
  T* object_;
  Function function_;
  std::atomic<int> stopRequest_{1};
  std::atomic<bool> started_{false};
  QMutex mutex_;
};
