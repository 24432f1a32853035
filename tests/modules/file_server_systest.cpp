// brevan's project file server on port 22001, as the teach pendant and PC
// tools meet it: curl reading, writing and deleting files of the project.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install_paths.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kPort = 22001;
const std::string kProject = zelor::paths::kProjectDir;

struct Curl {
  int exitCode = -1;
  int status = 0;
  std::string headers;
  std::string body;
};

// curl sending the URI as it is; the body, when given, from a file.
Curl curl(const std::string& method, const std::string& uri, const std::string* body = nullptr,
          bool expectContinue = false) {
  std::vector<std::string> argv = {"/usr/bin/curl", "-sS", "-i", "--path-as-is", "--globoff", "--max-time", "30",
                                   "-X", method};
  TempDir scratch;
  if (body != nullptr) {
    const std::string file = scratch.path() + "/body";
    std::ofstream(file, std::ios::binary) << *body;
    argv.insert(argv.end(), {"--data-binary", "@" + file, "-H", "Content-Type: application/octet-stream"});
    if (!expectContinue) argv.insert(argv.end(), {"-H", "Expect:"});
  }
  argv.push_back("http://127.0.0.1:" + std::to_string(kPort) + uri);
  const ProcessResult r = runProcess(argv, {}, 60s);
  Curl c;
  c.exitCode = r.exitCode;
  std::string out = r.out;
  // An interim "100 Continue" comes before the real reply.
  while (out.rfind("HTTP/1.1 100", 0) == 0 && out.find("\r\n\r\n") != std::string::npos) {
    out = out.substr(out.find("\r\n\r\n") + 4);
  }
  const std::size_t split = out.find("\r\n\r\n");
  c.headers = out.substr(0, split);
  if (split != std::string::npos) c.body = out.substr(split + 4);
  if (out.rfind("HTTP/1.1 ", 0) == 0) c.status = std::atoi(out.c_str() + 9);
  return c;
}

bool hasJsonType(const Curl& c) {
  return c.headers.find("Content-Type: application/json;charset=utf-8") != std::string::npos;
}

// Everything brevan puts on its console FIFO from now on, read as it comes
// (a full FIFO drops brevan's lines). The console's one-byte buffer holds
// back the last byte until the next output, so texts are matched without it.
class Console {
 public:
  Console()
      : reader_([this] {
          int fd = -1;
          while (!stopping_) {
            if (fd < 0) fd = open(zelor::paths::kFifoBrevan, O_RDONLY | O_NONBLOCK);
            char buf[65536];
            const ssize_t n = fd >= 0 ? read(fd, buf, sizeof buf) : 0;
            if (n > 0) {
              std::lock_guard lock(mutex_);
              text_.append(buf, static_cast<std::size_t>(n));
            } else {
              std::this_thread::sleep_for(5ms);
            }
          }
          if (fd >= 0) close(fd);
        }) {}
  ~Console() {
    stopping_ = true;
    reader_.join();
  }
  bool waitForText(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor([&] { return this->text().find(text) != std::string::npos; }, timeout);
  }
  std::string text() {
    std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::string text_;
  std::thread reader_;
};

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class FileServer : public ::testing::Test {
 protected:
  void SetUp() override {
    console_ = std::make_unique<Console>();
    brevan_ = std::make_unique<Brevan>();
    ASSERT_TRUE(waitFor([] { return listening(kPort); }, 10s)) << "port 22001 never listened";
  }
  std::unique_ptr<Console> console_;
  std::unique_ptr<Brevan> brevan_;
};

TEST_F(FileServer, StartsOnItsThreadAndServesTheCpuTemperature) {
  EXPECT_TRUE(console_->waitForText("enter StartHttpServer", 2s)) << console_->text();
  EXPECT_TRUE(console_->waitForText("[StartHttpServer] bind port 22001 success!", 2s)) << console_->text();
  Curl c;
  EXPECT_TRUE(waitFor(
      [&] {
        c = curl("GET", "/file/read/cputemp");
        return c.status == 200 && c.body == "45000";
      },
      5s))
      << c.status << " " << c.body;
  EXPECT_TRUE(hasJsonType(c)) << c.headers;
}

struct Step {
  const char* method;
  std::string uri;
  std::optional<std::string> body;
  int status;
  std::optional<std::string> reply;  // the exact body, when checked
};

TEST_F(FileServer, ReadsWritesAndDeletesProjectFiles) {
  writeFile(kProject + "/a%20b", "literally named");
  writeFile(kProject + "/a.json?x=1", "with a query");
  writeFile(kProject + "/pct.txt", "100% %s %n");
  writeFile(kProject + "/../x", "outside the project");
  const std::string big(10240001, 'b');
  const std::vector<Step> steps = {
      {"GET", "/file/read/settings/x.json", {}, 204, ""},
      {"POST", "/file/read/settings/x.json", {}, 204, ""},
      {"POST", "/file/write/a/b.txt", "abc", 200, "{\"status\":true}"},
      {"POST", "/file/read/a/b.txt", {}, 405, "bad methord! get only!"},
      {"GET", "/file/read/a/b.txt", {}, 200, "abc"},
      {"GET", "/file/write/c/d/e.json", {}, 405, "bad methord! post only!"},
      {"POST", "/file/write/x.txt", "", 200, "{\"status\":true}"},
      {"POST", "/file/write/z.bin", std::string("ab\0cd", 5), 200, "{\"status\":true}"},
      {"POST", "/file/write/big.bin", big, 200, "{\"status\":true}"},
      {"GET", "/file/delete/a", {}, 405, ""},
      {"POST", "/file/delete/../x", {}, 204, ""},
      {"GET", "/file/read/a%20b", {}, 200, "literally named"},
      {"GET", "/file/read/a.json?x=1", {}, 200, "with a query"},
      {"GET", "/file/read/pct.txt", {}, 200, "100% %s %n"},
      {"GET", "/file/read/../../etc/hostname", {}, 204, ""},
      {"POST", "/file/write/../escape.txt", "out", 204, ""},
      {"POST", "/file/write/../newdir/escape.txt", "out", 204, ""},
      {"POST", "/file/write/d;touch$IFS/tmp/pwned/f.txt", "x", 200, "{\"status\":true}"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.method) + " " + s.uri);
    const Curl c = curl(s.method, s.uri, s.body ? &*s.body : nullptr);
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_EQ(c.status, s.status) << c.headers;
    EXPECT_TRUE(hasJsonType(c)) << c.headers;
    if (s.reply) {
      EXPECT_EQ(c.body, *s.reply);
    }
  }
  EXPECT_EQ(readFile(kProject + "/a/b.txt"), "abc");
  EXPECT_TRUE(fs::is_directory(kProject + "/c/d"));
  EXPECT_TRUE(fs::exists(kProject + "/x.txt"));
  EXPECT_EQ(fs::file_size(kProject + "/x.txt"), 0U);
  EXPECT_EQ(readFile(kProject + "/z.bin"), "ab");
  EXPECT_EQ(fs::file_size(kProject + "/big.bin"), 10240000U);
  EXPECT_EQ(readFile(kProject + "/big.bin"), big.substr(0, 10240000));
  EXPECT_EQ(readFile(kProject + "/../x"), "outside the project");
  fs::remove(kProject + "/../x");
  EXPECT_FALSE(fs::exists(kProject + "/../escape.txt"));
  EXPECT_FALSE(fs::exists(kProject + "/../newdir"));
  EXPECT_TRUE(fs::exists(kProject + "/d;touch$IFS/tmp/pwned/f.txt"));
  EXPECT_FALSE(fs::exists("/tmp/pwned"));
  for (const auto& entry : fs::directory_iterator(kProject)) {
    EXPECT_EQ(entry.path().filename().string().find(".XXXXXX"), std::string::npos);
  }

  // Delete: a wrong method leaves the tree, POST removes it.
  EXPECT_TRUE(fs::is_directory(kProject + "/a")) << "removed by GET";
  const Curl removed = curl("POST", "/file/delete/a");
  EXPECT_EQ(removed.status, 200);
  EXPECT_EQ(removed.body, "{\"status\":true}");
  EXPECT_FALSE(fs::exists(kProject + "/a"));
  EXPECT_TRUE(console_->waitForText("removed file(or direactory) using cmd rm -rf " + kProject + "/a", 2s))
      << console_->text();
  EXPECT_TRUE(console_->waitForText("dir_path not exist! creat it using cmd mkdir -p " + kProject + "/c/d", 2s));
}

TEST_F(FileServer, RefusesUnroutedRequestsAndTooLargeBodies) {
  for (const char* uri : {"/file/list/x", "/files/read/x", "/file", "/file/read"}) {
    SCOPED_TRACE(uri);
    const Curl c = curl("GET", uri);
    EXPECT_EQ(c.status, 400) << c.headers;
    EXPECT_NE(c.headers.find("400 invalid request"), std::string::npos) << c.headers;
    EXPECT_TRUE(hasJsonType(c));
    EXPECT_EQ(c.body, "");
  }
  const Curl root = curl("GET", "/");
  EXPECT_EQ(root.status, 503);
  EXPECT_NE(root.headers.find("503 Failed url"), std::string::npos) << root.headers;
  EXPECT_FALSE(hasJsonType(root));

  const std::string huge(17 * 1024 * 1024, 'h');
  const Curl tooLarge = curl("POST", "/file/write/huge.bin", &huge, true);
  EXPECT_EQ(tooLarge.status, 413) << tooLarge.headers;
  EXPECT_FALSE(fs::exists(kProject + "/huge.bin"));
  // Still serving.
  EXPECT_EQ(curl("GET", "/file/read/cputemp").status, 200);
}

TEST_F(FileServer, AnswersFailedWritesAndRemovalsWith500) {
  const std::string full = kProject + "/full";
  fs::create_directories(full);
  const ProcessResult mounted = runProcess({"/bin/mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", full});
  ASSERT_EQ(mounted.exitCode, 0) << mounted.err;
  writeFile(full + "/f.bin", "previous");
  const std::string mib(1024 * 1024, 'm');
  const Curl write = curl("POST", "/file/write/full/f.bin", &mib);
  EXPECT_EQ(write.status, 500) << write.headers;
  EXPECT_NE(write.headers.find("500 internal error"), std::string::npos) << write.headers;
  EXPECT_EQ(readFile(full + "/f.bin"), "previous") << "a failed write keeps the previous content";
  EXPECT_EQ(std::distance(fs::directory_iterator(full), {}), 1) << "no temporary file left";

  const Curl remove = curl("POST", "/file/delete/full");
  EXPECT_EQ(remove.status, 500) << remove.headers;
  EXPECT_TRUE(fs::is_directory(full));
  runProcess({"/bin/umount", full});
}

TEST(FileServerStart, APortTakenBeforeTheStartLeavesTheCommandPortsServing) {
  const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(kPort);
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(holder, 1), 0);
  Console console;
  Brevan brevan;
  ASSERT_TRUE(brevan.waitForPorts());
  EXPECT_TRUE(console.waitForText("enter StartHttpServer", 2s)) << console.text();
  EXPECT_EQ(console.text().find("bind port 22001 success"), std::string::npos);
  EXPECT_TRUE(brevan.process().running());
  close(holder);
}

}  // namespace
}  // namespace zelor::test
