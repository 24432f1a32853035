// The file server's start-up and request dispatch.
#include <event2/buffer.h>
#include <event2/event.h>
#include <event2/http.h>
#include <event2/keyvalq_struct.h>

#include <cstdio>
#include <cstring>

#include "common/network/listen_address.h"
#include "service/file_request_path.h"
#include "service/tp_server.h"

namespace zelor::modules::service {

namespace {

constexpr unsigned short kPort = 22001;
// Room for the largest body the write operation takes; longer ones get 413.
constexpr ev_ssize_t kMaxBodySize = 16 * 1024 * 1024;

const char* reasonOf(int& status) {
  switch (status) {
    case 200: return "ok";
    case 204: return "no content";
    case 400: return "invalid request";
    case 405: return "bad methord";
    default: status = 500; return "internal error";
  }
}

}  // namespace

void RequestCb(evhttp_request* req, void* arg) {
  auto* server = static_cast<TpServer*>(arg);
  std::printf("[%s] enter!\n", "RequestCb");
  const char* uri = evhttp_request_get_uri(req);
  if (uri == nullptr || std::strlen(uri) <= 1) {
    evhttp_send_error(req, 503, "Failed url");
    return;
  }
  std::printf("uri = %s\n", uri);
  std::vector<std::string> segments = splitUri(uri);
  int status = 400;
  if (segments.size() >= 2 && segments[0] == "file") {
    const auto route = _func_map_file.find(segments[1]);
    if (route != _func_map_file.end()) status = route->second(req, server);
  }
  server->setSegments(std::move(segments));
  evhttp_add_header(evhttp_request_get_output_headers(req), "Content-Type", "application/json;charset=utf-8");
  const char* reason = reasonOf(status);
  evhttp_send_reply(req, status, reason, server->replyBuffer());
}

bool StartHttpServer() {
  std::printf("enter %s\n", "StartHttpServer");
  event_base* base = event_base_new();
  if (base == nullptr) {
    std::fprintf(stderr, "Couldn't create an event_base: exiting\n");
    return false;
  }
  evhttp* http = evhttp_new(base);
  if (http == nullptr) {
    std::fprintf(stderr, "couldn't create evhttp. Exiting.\n");
    event_base_free(base);
    return false;
  }
  TpServer server;
  if (!server.createReplyBuffer()) {
    evhttp_free(http);
    event_base_free(base);
    return false;
  }
  evhttp_set_gencb(http, RequestCb, &server);
  evhttp_set_max_body_size(http, kMaxBodySize);
  _func_map_file["read"] = &TpServer::fileReadHandler;
  _func_map_file["write"] = &TpServer::fileWriteHandler;
  _func_map_file["delete"] = &TpServer::fileDeleteHandler;
  if (evhttp_bind_socket(http, zelor::common::network::listenAddress().c_str(), kPort) != 0) {
    evhttp_free(http);
    event_base_free(base);
    return false;
  }
  std::printf("[%s] bind port 22001 success!\n", "StartHttpServer");
  event_base_dispatch(base);
  evhttp_free(http);
  event_base_free(base);
  return true;
}

int StopHttpServer() { return 0; }

}  // namespace zelor::modules::service
