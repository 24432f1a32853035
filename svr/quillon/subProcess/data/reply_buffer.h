#pragma once

#include <string>

#include <event2/buffer.h>
#include <rapidjson/document.h>

// The one answer of the HTTP API to a request it does not serve: a method a
// route does not take, or a request it turns down.
inline constexpr const char* kRefusedReply = "{\"status\":\"refused\"}";

// The one reply buffer of the HTTP server. Handlers append; only the
// dispatcher sends and empties it. Texts are appended verbatim.
class ReplyBuffer {
 public:
  ReplyBuffer() : buffer_(evbuffer_new()) {}
  ~ReplyBuffer() {
    if (buffer_ != nullptr) evbuffer_free(buffer_);
  }
  ReplyBuffer(const ReplyBuffer&) = delete;
  ReplyBuffer& operator=(const ReplyBuffer&) = delete;

  // {"status":true} or {"status":false}; 0.
  int reply(bool status);
  // The text as it is; 0.
  int reply(const char* text);
  int reply(const std::string& text);
  // The serialised document; -1 for null.
  int reply(rapidjson::Document* doc);

  void clear();
  std::string text() const;
  evbuffer* buffer() { return buffer_; }

 private:
  evbuffer* buffer_;
};
