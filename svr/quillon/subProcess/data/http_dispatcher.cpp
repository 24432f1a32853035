#include "subProcess/data/http_dispatcher.h"

#include <exception>

#include <event2/keyvalq_struct.h>

#include "subProcess/core/core_sub_process.h"
#include "subProcess/data/data_log.h"

namespace {

const char* commandText(evhttp_cmd_type c) {
  switch (c) {
    case EVHTTP_REQ_POST:
      return "POST";
    case EVHTTP_REQ_GET:
      return "GET";
    default:
      return " some methord ";
  }
}

const char* reasonOf(int code) {
  switch (code) {
    case 204:
      return "no content";
    case 405:
      return "bad methord";
    case 500:
      return "internal error";
    default:
      return "";
  }
}

}  // namespace

void HttpDispatcher::conn_req_dir(evhttp_request* req, void* arg) { static_cast<HttpDispatcher*>(arg)->dispatch(req); }

bool HttpDispatcher::isEarlyDebugger(const QString& type, const QString& method) {
  return type == "debugger" && (method == "start" || method == "stop" || method == "run" || method == "suspend");
}

void HttpDispatcher::sendJson(evhttp_request* req) {
  evhttp_add_header(evhttp_request_get_output_headers(req), "Content-Type", kContentType);
  evhttp_send_reply(req, 200, "OK", replies_.buffer());
}

void HttpDispatcher::dispatch(evhttp_request* req) {
  // Before the kernel cycles nothing can be served: say so at once instead
  // of leaving the request open.
  if (CoreSubProcess::IsInMainLoop.load() == 0) {
    evhttp_send_error(req, 503, "Not ready");
    return;
  }

  const char* uri = evhttp_request_get_uri(req);
  const std::string path = uri != nullptr ? uri : "";
  if (path == "/" || path.size() <= 1) {
    evhttp_send_error(req, 503, "Failed url");
    return;
  }
  HttpRequest request = HttpRequest::capture(req, &replies_);
  if (request.parts.size() < 3) {
    evhttp_send_error(req, 503, "Failed param");
    return;
  }
  const QString type = request.parts[1];
  const QString method = request.parts[2];
  const std::string typeText = type.toStdString();
  const std::string methodText = method.toStdString();

  if (type != "protocol" && type != "connection") {
    if (evhttp_request_get_connection(req) == nullptr) {
      DATA_LOG(kError, "conn = nullptr ,uri :{}", path);
    } else {
      DATA_LOG(kInfo, "{}:{} {} uri : {}", request.peer, request.port, commandText(request.command), path);
    }
  }

  if (routes_.methods(type) == nullptr) {
    DATA_LOG(kError, "Can't find method type:{}", typeText);
    evhttp_send_error(req, 405, "Method type not found");
    return;
  }

  const bool early = isEarlyDebugger(type, method);
  if (early) {
    DATA_LOG(kInfo, " !!! debugger - [{}], async send response", methodText);
    if (hooks_.debuggerEarly) hooks_.debuggerEarly(methodText);
    replies_.clear();
    replies_.reply(true);
    sendJson(req);
    // libevent may release the request from here on.
    request.raw = nullptr;
  }

  if (hooks_.routed) hooks_.routed();

  const RouteHandler handler = routes_.find(type, method);
  if (handler == nullptr) {
    DATA_LOG(kError, "Can't find method:{} by type:{}", methodText, typeText);
    if (!early) evhttp_send_error(req, 405, "Method not found");
    return;
  }

  replies_.clear();
  int result = 500;
  try {
    result = handler(request, server_);
  } catch (const std::exception& e) {
    DATA_LOG(kError, "handler of {}/{} failed: {}", typeText, methodText, e.what());
    result = 500;
  } catch (...) {
    DATA_LOG(kError, "handler of {}/{} failed", typeText, methodText);
    result = 500;
  }

  if (early) {
    if (result == 200 && hooks_.debuggerSucceeded) hooks_.debuggerSucceeded(methodText);
    replies_.clear();
    return;
  }
  if (result < 100 || result > 599) result = 500;
  if (result != 200) {
    replies_.clear();
    evhttp_send_error(req, result, reasonOf(result));
    return;
  }
  sendJson(req);
}
