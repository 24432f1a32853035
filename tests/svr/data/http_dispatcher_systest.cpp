// The HTTP dispatcher on a real libevent server in the test process, with
// routes of the test's own, talked to over loopback.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <event2/event.h>
#include <event2/http.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "log_reader/log_queue_reader.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/data/http_dispatcher.h"
#include "support/http_client.h"

using zelor::test::httpRequest;
using zelor::test::HttpReply;

namespace {

constexpr int kLogChannel = 15;

bool hasLine(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& l : lines) {
    if (l.find(text) != std::string::npos) return true;
  }
  return false;
}

// Test handlers reach the reply buffer through the request.
int answers200(HttpRequest& r, DataSubProcess*) { return r.replies->reply("{\"ok\":1}"), 200; }
int answers0(HttpRequest&, DataSubProcess*) { return 0; }
int answers700(HttpRequest&, DataSubProcess*) { return 700; }
int answers204(HttpRequest&, DataSubProcess*) { return 204; }
int answers404(HttpRequest&, DataSubProcess*) { return 404; }
int answers405(HttpRequest&, DataSubProcess*) { return 405; }
int throws(HttpRequest&, DataSubProcess*) { throw std::runtime_error("handler failed"); }
int appendsThen500(HttpRequest& r, DataSubProcess*) {
  r.replies->reply(" not support methord! only support post!");
  return 500;
}
int percentText(HttpRequest& r, DataSubProcess*) { return r.replies->reply("100%s"), 200; }
int nullDocument(HttpRequest& r, DataSubProcess*) {
  return r.replies->reply(static_cast<rapidjson::Document*>(nullptr)) == -1 ? 200 : 500;
}
// Reads an integer member that the client sends as a text.
int wrongType(HttpRequest& r, DataSubProcess*) {
  rapidjson::Document doc;
  if (!parseRequestBody(r, doc)) return 500;
  const int v = doc["value"].GetInt();
  return r.replies->reply(std::to_string(v)), 200;
}
int echoBody(HttpRequest& r, DataSubProcess*) { return r.replies->reply(std::to_string(r.body.size())), 200; }

std::atomic<int> debuggerCalls{0};
std::string debuggerBody;
int debuggerHandler(HttpRequest& r, DataSubProcess*) {
  debuggerBody = r.body;
  ++debuggerCalls;
  r.replies->reply("{\"late\":true}");
  return r.raw == nullptr ? 200 : 500;
}

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    CoreSubProcess::IsInMainLoop.store(1);
    routes_.add("properties", "ok", answers200);
    routes_.add("properties", "zero", answers0);
    routes_.add("properties", "big", answers700);
    routes_.add("properties", "empty", answers204);
    routes_.add("properties", "missing", answers404);
    routes_.add("properties", "bad", answers405);
    routes_.add("properties", "throws", throws);
    routes_.add("properties", "percent", percentText);
    routes_.add("properties", "nulldoc", nullDocument);
    routes_.add("interface", "hardware", appendsThen500);
    routes_.add("interface", "typed", wrongType);
    routes_.add("interface", "echo", echoBody);
    routes_.add("connection", "state", answers200);
    for (const char* m : {"stop", "run"}) routes_.add("debugger", m, debuggerHandler);
    HttpDispatcher::Hooks hooks;
    hooks.routed = [this] { ++routed_; };
    hooks.debuggerEarly = [this](const std::string& m) { early_.push_back(m); };
    hooks.debuggerSucceeded = [this](const std::string& m) { succeeded_.push_back(m); };
    dispatcher_.setHooks(hooks);

    base_ = event_base_new();
    http_ = evhttp_new(base_);
    evhttp_set_max_body_size(http_, 1 << 20);
    evhttp_set_gencb(http_, &HttpDispatcher::conn_req_dir, &dispatcher_);
    evhttp_bound_socket* bound = evhttp_bind_socket_with_handle(http_, "127.0.0.1", 0);
    ASSERT_NE(bound, nullptr);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(evhttp_bound_socket_get_fd(bound), reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    // The loop watches the stop flag on a timer of its own.
    stopCheck_ = event_new(base_, -1, EV_PERSIST, &Dispatcher::checkStop, this);
    timeval tv{0, 20000};
    event_add(stopCheck_, &tv);
    loop_ = std::thread([this] { event_base_dispatch(base_); });
  }

  void TearDown() override {
    stop_ = true;
    loop_.join();
    event_free(stopCheck_);
    evhttp_free(http_);
    event_base_free(base_);
    CoreSubProcess::IsInMainLoop.store(0);
    zelor::sim::drainLogChannel(kLogChannel);
  }

  static void checkStop(evutil_socket_t, short, void* arg) {
    auto* self = static_cast<Dispatcher*>(arg);
    if (self->stop_) event_base_loopbreak(self->base_);
  }

  HttpReply get(const std::string& path, int timeoutMs = 3000) { return httpRequest(port_, "GET", path, "", timeoutMs); }

  RouteTable routes_;
  ReplyBuffer replies_;
  HttpDispatcher dispatcher_{routes_, replies_, nullptr};
  std::atomic<int> routed_{0};
  std::vector<std::string> early_;
  std::vector<std::string> succeeded_;
  event_base* base_ = nullptr;
  evhttp* http_ = nullptr;
  event* stopCheck_ = nullptr;
  std::atomic<bool> stop_{false};
  std::thread loop_;
  int port_ = 0;
};

}  // namespace

TEST_F(Dispatcher, RoutingFailuresGetTheirStatusAndReason) {
  struct Case {
    const char* path;
    int status;
    const char* reason;
  };
  const Case cases[] = {
      {"/", 503, "Failed url"},
      {"/x", 503, "Failed param"},
      {"/settings", 503, "Failed param"},
      {"/nosuch/x", 405, "Method type not found"},
      {"//x", 405, "Method type not found"},
      {"/settings/nosuch", 405, "Method not found"},
      {"/properties/ok?x=1", 405, "Method not found"},
      {"/properties/o%6B", 405, "Method not found"},
  };
  for (const Case& c : cases) {
    const HttpReply r = get(c.path);
    ASSERT_TRUE(r.answered) << c.path;
    EXPECT_EQ(r.status, c.status) << c.path;
    EXPECT_EQ(r.reason, c.reason) << c.path;
  }
}

TEST_F(Dispatcher, A200CarriesTheReplyBufferAsJson) {
  const HttpReply r = get("/properties/ok");
  ASSERT_TRUE(r.answered);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "{\"ok\":1}");
  EXPECT_NE(r.headers.find("Content-Type: application/json;charset=utf-8"), std::string::npos);
  // Further path elements are not used for routing.
  EXPECT_EQ(get("/properties/ok/more").body, "{\"ok\":1}");
}

TEST_F(Dispatcher, OtherResultsGoOutAsErrorsAndOutOfRangeOnesAs500) {
  struct Case {
    const char* path;
    int status;
    const char* reason;
  };
  const Case cases[] = {
      {"/properties/empty", 204, "no content"}, {"/properties/missing", 404, ""},
      {"/properties/bad", 405, "bad methord"},  {"/properties/zero", 500, "internal error"},
      {"/properties/big", 500, "internal error"},
  };
  for (const Case& c : cases) {
    const HttpReply r = get(c.path);
    ASSERT_TRUE(r.answered) << c.path;
    EXPECT_EQ(r.status, c.status) << c.path;
    EXPECT_EQ(r.reason, c.reason) << c.path;
  }
}

TEST_F(Dispatcher, AThrowingHandlerGets500AndTheNextRequestWorks) {
  EXPECT_EQ(get("/properties/throws").status, 500);
  // A RapidJSON getter on a member of the wrong type throws too.
  const HttpReply typed = httpRequest(port_, "POST", "/interface/typed", "{\"value\":\"text\"}");
  EXPECT_EQ(typed.status, 500);
  EXPECT_EQ(httpRequest(port_, "POST", "/interface/typed", "{\"value\":7}").body, "7");
  EXPECT_EQ(get("/properties/ok").body, "{\"ok\":1}");
}

TEST_F(Dispatcher, TextAppendedBeforeAnErrorNeverLeaksIntoTheNextReply) {
  EXPECT_EQ(get("/interface/hardware").status, 500);
  EXPECT_EQ(get("/properties/ok").body, "{\"ok\":1}");
}

TEST_F(Dispatcher, RepliesAreAppendedVerbatim) {
  EXPECT_EQ(get("/properties/percent").body, "100%s");
  EXPECT_EQ(get("/properties/nulldoc").status, 200);
}

TEST_F(Dispatcher, BodiesAreCutAt8192BytesAndLargeOnesRefused) {
  EXPECT_EQ(httpRequest(port_, "POST", "/interface/echo", std::string(9000, 'a')).body, "8192");
  EXPECT_EQ(httpRequest(port_, "POST", "/interface/echo", std::string(100, 'a')).body, "100");
  const HttpReply big = httpRequest(port_, "POST", "/interface/echo", std::string(2 << 20, 'a'));
  ASSERT_TRUE(big.answered);
  EXPECT_EQ(big.status, 413);
  // A truncated JSON object fails to parse: 500, and the server goes on.
  std::string json = "{\"value\":\"" + std::string(9000, 'x') + "\"}";
  EXPECT_EQ(httpRequest(port_, "POST", "/interface/typed", json).status, 500);
  EXPECT_EQ(get("/properties/ok").status, 200);
}

TEST_F(Dispatcher, DebuggerCommandsAreAnsweredOnceBeforeTheirHandlerRuns) {
  debuggerCalls = 0;
  const HttpReply r = httpRequest(port_, "POST", "/debugger/run", "{\"a\":1}");
  ASSERT_TRUE(r.answered);
  EXPECT_EQ(r.status, 200);
  // One reply only: the handler's own text never reaches the client.
  EXPECT_EQ(r.body, "{\"status\":true}");
  EXPECT_EQ(debuggerCalls.load(), 1);
  EXPECT_EQ(debuggerBody, "{\"a\":1}");
  ASSERT_EQ(early_.size(), 1u);
  EXPECT_EQ(early_[0], "run");
  ASSERT_EQ(succeeded_.size(), 1u);
  EXPECT_EQ(succeeded_[0], "run");
  // Not registered yet: still answered early, once, and no failure reply.
  const HttpReply s = httpRequest(port_, "POST", "/debugger/suspend", "");
  EXPECT_EQ(s.status, 200);
  EXPECT_EQ(s.body, "{\"status\":true}");
  EXPECT_EQ(early_.back(), "suspend");
  EXPECT_EQ(succeeded_.size(), 1u);
  // The reply buffer starts empty for the next request.
  EXPECT_EQ(get("/properties/ok").body, "{\"ok\":1}");
}

TEST_F(Dispatcher, ExchangeAndConnectionRoutesLeaveNoRequestLine) {
  zelor::sim::drainLogChannel(kLogChannel);
  get("/connection/state");
  std::vector<std::string> lines = zelor::sim::drainLogChannel(kLogChannel);
  EXPECT_FALSE(hasLine(lines, "uri : /connection/state"));
  get("/properties/ok");
  lines = zelor::sim::drainLogChannel(kLogChannel);
  EXPECT_TRUE(hasLine(lines, "127.0.0.1:")) << (lines.empty() ? "" : lines[0]);
  EXPECT_TRUE(hasLine(lines, "GET uri : /properties/ok"));
  EXPECT_GE(routed_.load(), 2);
}

TEST_F(Dispatcher, NotReadyIsAnsweredWhileTheKernelIsNotCycling) {
  CoreSubProcess::IsInMainLoop.store(0);
  const auto early = get("/properties/ok", 2000);
  EXPECT_TRUE(early.answered) << "left open";
  EXPECT_EQ(early.status, 503);
  CoreSubProcess::IsInMainLoop.store(1);
  EXPECT_EQ(get("/properties/ok").status, 200);
}
