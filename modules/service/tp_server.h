#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct evbuffer;
struct evhttp_request;

namespace zelor::modules::service {

// The project directory's file server over HTTP (port 22001): read, write
// and delete by path, one request at a time on the event loop's thread.
class TpServer {
 public:
  static constexpr std::size_t kBodyBufferSize = 10240000;

  TpServer();
  virtual ~TpServer();
  TpServer(const TpServer&) = delete;
  TpServer& operator=(const TpServer&) = delete;

  // The reply buffer, shared by every request; false when it cannot be made.
  bool createReplyBuffer();
  evbuffer* replyBuffer() const { return reply_; }
  void setSegments(std::vector<std::string> segments) { segments_ = std::move(segments); }

  void Reply(bool status);
  void Reply(const std::string& text);
  void Reply(const char* text);

  static int fileReadHandler(evhttp_request* req, TpServer* server);
  static int fileWriteHandler(evhttp_request* req, TpServer* server);
  static int fileDeleteHandler(evhttp_request* req, TpServer* server);

 private:
  evbuffer* reply_ = nullptr;
  std::vector<std::string> segments_;
  std::unique_ptr<char[]> body_;
};

using FileHandler = int (*)(evhttp_request*, TpServer*);
extern std::unordered_map<std::string, FileHandler> _func_map_file;

// Dispatches a request on its path; arg is the TpServer.
void RequestCb(evhttp_request* req, void* arg);

// Serves on the calling thread until the event loop ends: true then, false
// when the port cannot be bound.
bool StartHttpServer();
int StopHttpServer();

}  // namespace zelor::modules::service
