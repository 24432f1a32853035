// interface/go, auxGo, moveJ and trace against the real data server with the
// recording kernel: the packets each request sends, in order.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/recording_host.h"

namespace {

using namespace std::chrono_literals;
using namespace zelor::test;
using Trail = std::vector<std::string>;

std::string frames(int enabledMask) {
  std::string text = "[";
  for (int i = 0; i < 10; ++i) {
    text += std::string(i > 0 ? "," : "") + "{\"enable\":" + (((enabledMask >> i) & 1) ? "true" : "false") +
            ",\"params\":[" + std::to_string(i) + ",0,0,0,0,0]}";
  }
  return text + "]";
}

std::string goBody(const std::string& mode, const std::string& extra = "") {
  return "{\"value\":true,\"x\":250,\"y\":10,\"z\":-20,\"a\":5,\"mode\":\"" + mode +
         "\",\"armOrientation\":\"left\"" + (extra.empty() ? "" : "," + extra) + "}";
}

std::string poses(int n, const std::string& element) {
  std::string text = "[";
  for (int i = 0; i < n; ++i) text += std::string(i > 0 ? "," : "") + element;
  return text + "]";
}

// Queued moves answer index 1; the queue reports index 5 done.
const std::string kQueueDone = "reply 84 w " + rec::hex(bytesOf<std::uint64_t>({1})) + "\nreply 246 r " +
                               rec::hex(bytesOf<std::uint64_t>({5})) + "\n";
const std::string kQueueBusy = "reply 84 w " + rec::hex(bytesOf<std::uint64_t>({1})) + "\nwithhold 246 r\n";

class MotionRoutes : public RecordingHost {
 protected:
  void SetUp() override {
    RecordingHost::SetUp();
    files_.write("settings/coordinate/tool.json", frames(0b11));   // tools 0, 1
    files_.write("settings/coordinate/user.json", frames(0b01));   // user 0
    files_.write("settings/quillon/config.json", "{\"coordinate\": {\"user\": 2, \"tool\": 1}}");
  }
  std::size_t mark() { return rec::loggedPackets().size(); }
  // The packets a request sent, without the duties' reads of 41 and 42.
  Trail sentSince(std::size_t from) {
    Trail trail;
    for (const std::string& id : packetTrail(from)) {
      if (id != "41" && id != "42" && id != "26") trail.push_back(id);
    }
    return trail;
  }

  ProjectFiles files_;
};

TEST_F(MotionRoutes, GoIsRefusedUntilTheSwitchIsEnabledAndWhileACollisionLasts) {
  start();
  std::size_t from = mark();
  HttpReply r = post("/interface/go", goBody("go"));
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "{\"status\":false}");
  EXPECT_EQ(sentSince(from), Trail{});

  enableManual();
  storeRecord(records().axesGroup.m_CollisionWord, 1);
  from = mark();
  r = post("/interface/go", goBody("go"));
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "");
  storeRecord(records().axesGroup.m_CollisionWord, 0);
  EXPECT_EQ(sentSince(from), Trail{});
  stop();
}

TEST_F(MotionRoutes, GoSendsTheRecipeInOrder) {
  start();
  enableManual();
  control(kQueueDone);
  std::size_t from = mark();
  HttpReply r = post("/interface/go", goBody("jump", "\"tool\":1,\"user\":2"));
  EXPECT_EQ(r.body, "{\"status\":true}");
  EXPECT_EQ(sentSince(from), (Trail{"248", "240", "52", "80", "81", "87q", "50q", "251q", "84q"}));
  const auto jump = rec::loggedPackets(87);
  ASSERT_EQ(jump.size(), 1u);
  EXPECT_FLOAT_EQ(paramAt<float>(jump[0], 0), 200.0f);
  EXPECT_FLOAT_EQ(paramAt<float>(jump[0], 4), 200.0f);
  EXPECT_FLOAT_EQ(paramAt<float>(jump[0], 8), 0.0f);
  const auto move = rec::loggedPackets(84).back();
  EXPECT_EQ(move.params[0], 0);
  EXPECT_FLOAT_EQ(paramAt<float>(move, 1), 250.0f);
  EXPECT_FLOAT_EQ(paramAt<float>(move, 13), 5.0f);
  EXPECT_EQ(rec::loggedPackets(50).back().params[0], 0);  // left

  // "go": no jump parameters; a tool of 10 sends no frame.
  from = mark();
  post("/interface/go", goBody("go", "\"tool\":10"));
  // (the missing user reads 0, which is enabled)
  EXPECT_EQ(sentSince(from), (Trail{"248", "240", "52", "80", "81", "50q", "250q", "84q"}));
  EXPECT_EQ(rec::loggedPackets(84).back().params[0], 1);

  // Malformed requests: 500 and no move.
  for (const std::string& body : {goBody("fly"), std::string("{\"value\":true,\"x\":1,\"y\":2,\"z\":3,\"mode\":\"go\"}"),
                                  goBody("go", "\"user\":\"two\""), std::string("{\"x\":1}"),
                                  std::string("{\"value\":\"true\"}")}) {
    SCOPED_TRACE(body);
    from = mark();
    EXPECT_EQ(post("/interface/go", body).status, 500);
    for (const std::string& id : sentSince(from)) EXPECT_NE(id, "84q");
  }
  from = mark();
  EXPECT_EQ(post("/interface/go", goBody("fly")).status, 500);
  EXPECT_EQ(sentSince(from), Trail{});
  stop();
}

TEST_F(MotionRoutes, AStopRestoresTheSavedFrames) {
  start();
  enableManual();
  const std::size_t from = mark();
  const HttpReply r = post("/interface/go", "{\"value\":false}");
  EXPECT_EQ(r.body, "{\"status\":\"true\"}");
  EXPECT_EQ(sentSince(from), (Trail{"248", "250", "251"}));
  // The saved selection, user 2 although it is not enabled.
  EXPECT_EQ(paramAt<std::uint32_t>(rec::loggedPackets(250).back(), 0), 2u);
  EXPECT_FLOAT_EQ(paramAt<float>(rec::loggedPackets(250).back(), 4), 2.0f);
  EXPECT_EQ(paramAt<std::uint32_t>(rec::loggedPackets(251).back(), 0), 1u);
  stop();
}

TEST_F(MotionRoutes, MoveJAndAuxGo) {
  start();
  enableManual();
  std::size_t from = mark();
  EXPECT_EQ(post("/interface/moveJ", "{\"value\":\"true\",\"joint\":[1,2,3]}").status, 500);
  EXPECT_EQ(post("/interface/moveJ", "{\"value\":\"true\",\"joint\":[1,2,\"x\",4]}").status, 500);
  EXPECT_EQ(sentSince(from), Trail{});
  from = mark();
  EXPECT_EQ(post("/interface/moveJ", "{\"value\":\"true\",\"joint\":[10,20,-30,40]}").body, "{\"status\":true}");
  EXPECT_EQ(sentSince(from), (Trail{"248", "240", "52", "80", "81", "84q"}));
  const auto move = rec::loggedPackets(84).back();
  EXPECT_EQ(move.params[0], 4);
  EXPECT_FLOAT_EQ(paramAt<float>(move, 9), -30.0f);
  from = mark();
  EXPECT_EQ(post("/interface/moveJ", "{\"value\":\"false\"}").body, "{\"status\":\"true\"}");
  EXPECT_EQ(sentSince(from), Trail{"248"});

  from = mark();
  EXPECT_EQ(post("/interface/auxGo", "{\"value\":\"true\",\"aux1\":12.5,\"x\":1,\"y\":2,\"z\":3,\"a\":4,"
                                     "\"mode\":\"move\",\"armOrientation\":\"right\",\"tool\":0,\"user\":0}")
                .body,
            "{\"status\":\"true\"}");
  EXPECT_EQ(sentSince(from), (Trail{"248", "240", "52", "80", "81", "50q", "251q", "250q", "84q", "225"}));
  auto aux = rec::loggedPackets(225).back();
  EXPECT_EQ(paramAt<std::uint32_t>(aux, 0), 8u);
  EXPECT_FLOAT_EQ(paramAt<float>(aux, 4), 12.5f);
  from = mark();
  EXPECT_EQ(post("/interface/auxGo", "{\"value\":\"false\"}").body, "{\"status\":\"true\"}");
  EXPECT_EQ(sentSince(from), (Trail{"248", "225"}));
  EXPECT_EQ(paramAt<std::uint32_t>(rec::loggedPackets(225).back(), 0), 18u);
  EXPECT_EQ(post("/interface/auxGo", "{\"value\":\"true\",\"x\":1,\"y\":2,\"z\":3,\"a\":4,\"mode\":1}").status, 500);
  stop();
}

TEST_F(MotionRoutes, TheMotionDoneQuery) {
  start();
  struct Case {
    std::string control;
    std::string body;
  };
  const Case cases[] = {{"reply 27 r 01\n", "{\"value\":true}"},
                        {"reply 27 r 00\n", "{\"value\":false}"},
                        {"reply 27 r 02\n", "{\"status\":false}"},
                        {"withhold 27 r\n", "{\"status\":false}"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    control(c.control);
    for (const char* route : {"/interface/go", "/interface/moveJ", "/interface/auxGo"}) {
      const HttpReply r = httpRequest(kDataPort, "GET", route, "", 5000);
      EXPECT_EQ(r.status, 200) << route;
      EXPECT_EQ(r.body, c.body) << route;
      countLines("");  // the channel's queue holds few lines
      if (c.control.starts_with("withhold")) break;  // each takes the mailbox's 2 s
    }
  }
  EXPECT_TRUE(waitForLine("alloc_GetStopStatus error", 1s));
  EXPECT_EQ(httpRequest(kDataPort, "PUT", "/interface/go").body, "");
  stop();
}

TEST_F(MotionRoutes, APoseListRunsPoseAfterPose) {
  start();
  enableManual();
  control(kQueueDone);
  const std::size_t from = mark();
  const HttpReply r = post("/interface/trace",
                           "[{\"armOrientation\":\"left\",\"coordinate\":[1,2,3,4],\"tool\":1,\"user\":0},"
                           "{\"armOrientation\":\"right\",\"coordinate\":[5,6,7,8],\"tool\":2,\"user\":1},"
                           "{\"coordinate\":[9,10,11,12,13]}]");
  EXPECT_EQ(r.body, "{\"status\":\"true\"}");
  ASSERT_TRUE(waitForLine("over handle post req", 5s));
  EXPECT_EQ(sentSince(from), (Trail{"248", "240", "52", "80", "81", "50q", "251q", "250q", "84q", "246", "50q", "84q",
                                    "246", "50q", "251q", "250q", "84q", "246"}));
  const auto moves = rec::loggedPackets(84);
  ASSERT_GE(moves.size(), 3u);
  EXPECT_EQ(moves[moves.size() - 3].params[0], 2);
  EXPECT_FLOAT_EQ(paramAt<float>(moves.back(), 13), 12.0f);
  EXPECT_EQ(countLines("run to Cmd is Done"), 3);
  stop();
}

TEST_F(MotionRoutes, OnePoseListAtATimeAndMalformedListsSendNothing) {
  start();
  enableManual();
  control(kQueueBusy);
  const std::string one = "[{\"coordinate\":[1,2,3,4]}]";
  EXPECT_EQ(post("/interface/trace", one).status, 200);
  ASSERT_TRUE(pollUntil([] { return !rec::loggedPackets(246).empty(); }, 3s));  // the thread waits
  EXPECT_EQ(post("/interface/trace", one).status, 500);
  // The queue reaches the move: the thread ends, the route accepts again.
  control(kQueueDone);
  ASSERT_TRUE(waitForLine("over handle post req", 5s));

  for (const std::string& body : {poses(300, "{\"coordinate\":[1,2,3,4]}"), std::string("[{\"tool\":1}]"),
                                  std::string("[{\"coordinate\":[1,2,3]}]"),
                                  std::string("[{\"coordinate\":[1,2,3,4],\"user\":\"u\"}]"),
                                  std::string("{\"coordinate\":[1,2,3,4]}"), std::string("")}) {
    SCOPED_TRACE(body.substr(0, 40));
    const std::size_t from = mark();
    EXPECT_EQ(post("/interface/trace", body).status, 500);
    EXPECT_EQ(sentSince(from), Trail{});
  }
  EXPECT_EQ(post("/interface/trace", one).body, "{\"status\":\"true\"}");
  ASSERT_TRUE(pollUntil([&] { return countLines("over handle post req") == 2; }, 5s));
  EXPECT_EQ(httpRequest(kDataPort, "GET", "/interface/trace").body, "{\"status\":\"false\"}");
  stop();
}

TEST_F(MotionRoutes, ReleaseEndsAWaitingPoseList) {
  start();
  enableManual();
  control(kQueueBusy);
  ASSERT_EQ(post("/interface/trace", "[{\"coordinate\":[1,2,3,4]}]").status, 200);
  ASSERT_TRUE(pollUntil([] { return !rec::loggedPackets(246).empty(); }, 3s));  // the thread waits
  const auto begin = std::chrono::steady_clock::now();
  const int status = host_->stop(SIGTERM, 15s);
  host_.reset();
  // The pose list's wait ends with the release instead of holding the host
  // (how fast is the benchmark's business; a loaded machine takes seconds).
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << readWholeFile(kHostErr);
}

}  // namespace
