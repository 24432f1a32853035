#include "plc_host/core_mailbox.h"

#include <cstdio>
#include <cstring>

namespace zelor::sim {

namespace {

// The callbacks are plain C functions: they reach the one mailbox of the process.
CoreMailbox* gMailbox = nullptr;

}  // namespace

CoreMailbox::CoreMailbox() {
  table_.getPackage = &getPackage;
  table_.sendPackage = &sendPackage;
  table_.freePackage = &freePackage;
  table_.allocPackage = &allocPackage;
  table_.clearPackageQueue = &clearPackageQueue;
  table_.setValue = &setValue;
  table_.getValue = &getValue;
  table_.log = &logLine;
  gMailbox = this;
}

CoreMailbox::~CoreMailbox() {
  if (gMailbox == this) gMailbox = nullptr;
}

void CoreMailbox::Post(const Packet& request) {
  {
    std::lock_guard<std::mutex> lock(replyMutex_);
    replyFull_ = false;
  }
  std::lock_guard<std::mutex> lock(requestMutex_);
  std::memcpy(&request_, &request, sizeof request_);
  pending_.store(true);
}

bool CoreMailbox::TakeReply(Packet& reply) {
  std::lock_guard<std::mutex> lock(replyMutex_);
  if (!replyFull_) return false;
  std::memcpy(&reply, &reply_, sizeof reply);
  replyFull_ = false;
  return true;
}

bool CoreMailbox::WaitReply(Packet& reply, std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(replyMutex_);
  if (!replyReady_.wait_until(lock, deadline, [this] { return replyFull_; })) return false;
  std::memcpy(&reply, &reply_, sizeof reply);
  replyFull_ = false;
  return true;
}

void CoreMailbox::Abandon() {
  pending_.store(false);
  std::lock_guard<std::mutex> lock(replyMutex_);
  replyFull_ = false;
}

int CoreMailbox::getPackage(Packet* out) {
  CoreMailbox* self = gMailbox;
  if (self == nullptr || out == nullptr || !self->pending_.load()) return 0;
  std::lock_guard<std::mutex> lock(self->requestMutex_);
  // The request stays pending until answered: an unanswered one comes again.
  std::memcpy(out, &self->request_, sizeof *out);
  return 1;
}

void CoreMailbox::sendPackage(Packet* reply) {
  CoreMailbox* self = gMailbox;
  if (self == nullptr) return;
  if (reply == nullptr) {
    self->log_.Add("You will try send null package\n");
    return;
  }
  {
    std::lock_guard<std::mutex> lock(self->replyMutex_);
    // A reply arriving while one is still unread is dropped.
    if (!self->replyFull_) {
      std::memcpy(&self->reply_, reply, sizeof self->reply_);
      self->replyFull_ = true;
      self->replyReady_.notify_all();
    }
  }
  self->pending_.store(false);
}

void CoreMailbox::freePackage(Packet* packet) {
  CoreMailbox* self = gMailbox;
  if (self == nullptr || packet == nullptr) return;
  std::lock_guard<std::mutex> lock(self->poolMutex_);
  for (int i = 0; i < kPoolSize; ++i) {
    if (packet == &self->pool_[i]) self->inUse_[i] = false;
  }
}

Packet* CoreMailbox::allocPackage() {
  CoreMailbox* self = gMailbox;
  if (self == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(self->poolMutex_);
  for (int i = 0; i < kPoolSize; ++i) {
    if (!self->inUse_[i]) {
      self->inUse_[i] = true;
      std::memset(&self->pool_[i], 0, sizeof(Packet));
      return &self->pool_[i];
    }
  }
  return nullptr;
}

// Nothing ever waits in a pending queue here.
void CoreMailbox::clearPackageQueue() {}

void CoreMailbox::setValue(const char* key, double value) {
  CoreMailbox* self = gMailbox;
  if (self == nullptr || key == nullptr || key[0] == '\0' || std::strlen(key) >= kKeySize) return;
  std::lock_guard<std::mutex> lock(self->valueMutex_);
  for (int i = 0; i < self->valueCount_; ++i) {
    if (std::strcmp(self->values_[i].key, key) == 0) {
      self->values_[i].value = value;
      return;
    }
  }
  if (self->valueCount_ == kValueSlots) return;
  Value& slot = self->values_[self->valueCount_++];
  std::snprintf(slot.key, sizeof slot.key, "%s", key);
  slot.value = value;
}

double CoreMailbox::getValue(const char* key) {
  CoreMailbox* self = gMailbox;
  if (self == nullptr || key == nullptr) return 0.0;
  std::lock_guard<std::mutex> lock(self->valueMutex_);
  for (int i = 0; i < self->valueCount_; ++i) {
    if (std::strcmp(self->values_[i].key, key) == 0) return self->values_[i].value;
  }
  return 0.0;
}

void CoreMailbox::logLine(const char* text) {
  if (gMailbox != nullptr) gMailbox->log_.Add(text);
}

}  // namespace zelor::sim
