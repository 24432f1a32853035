#pragma once

#include <functional>
#include <string>

#include <event2/http.h>

#include "subProcess/data/reply_buffer.h"
#include "subProcess/data/route_table.h"

class DataSubProcess;

// Routes every request of the HTTP server to its handler and sends the one
// reply. Requests that come while the motion kernel is not cycling are
// answered 503.
class HttpDispatcher {
 public:
  static constexpr const char* kContentType = "application/json;charset=utf-8";

  struct Hooks {
    std::function<void()> routed;                                // every routed request
    std::function<void(const std::string&)> debuggerEarly;       // before the early reply
    std::function<void(const std::string&)> debuggerSucceeded;   // its handler returned 200
  };

  HttpDispatcher(RouteTable& routes, ReplyBuffer& replies, DataSubProcess* server)
      : routes_(routes), replies_(replies), server_(server) {}

  void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

  // evhttp_set_gencb callback; arg is the dispatcher.
  static void conn_req_dir(evhttp_request* req, void* arg);
  void dispatch(evhttp_request* req);

  // The debugger methods answered before their handler runs.
  static bool isEarlyDebugger(const QString& type, const QString& method);

 private:
  void sendJson(evhttp_request* req);

  RouteTable& routes_;
  ReplyBuffer& replies_;
  DataSubProcess* server_;
  Hooks hooks_;
};
