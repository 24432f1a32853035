#pragma once

// Shortens the kernel exchanges of the data sub-process made on this thread
// while it lives; 0 leaves the mailbox's own limit.
class ExchangeLimit {
 public:
  explicit ExchangeLimit(int timeoutUs) : previous_(current()) { current() = timeoutUs; }
  ~ExchangeLimit() { current() = previous_; }
  ExchangeLimit(const ExchangeLimit&) = delete;
  ExchangeLimit& operator=(const ExchangeLimit&) = delete;

  static int& current() {
    thread_local int limitUs = 0;
    return limitUs;
  }

 private:
  int previous_;
};
