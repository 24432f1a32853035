// Whole-file reading and writing of the settings-file utilities, in a private
// temporary folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "common/util/json_util.h"

using zelor::common::util::JsonUtil;
namespace fs = std::filesystem;

namespace {

class JsonFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "jsonutil-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  static void write(const std::string& p, const std::string& text) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
  }
  static std::string read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  fs::path dir_;
};

}  // namespace

TEST_F(JsonFile, ReadersAgreeOnMissingBrokenAndGoodFiles) {
  struct Case {
    const char* name;
    const char* content;  // null: no file
    int status;
  };
  const Case cases[] = {
      {"missing.json", nullptr, -1},
      {"broken.json", "{\"a\": ", -2},
      {"empty.json", "", -2},
      {"good.json", "{\"a\":[1,2],\"b\":\"x\"}", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string p = path(c.name);
    if (c.content != nullptr) write(p, c.content);

    rapidjson::Document* allocated = reinterpret_cast<rapidjson::Document*>(0x1);
    EXPECT_EQ(JsonUtil::readJsonFile(p.c_str(), &allocated), c.status);
    if (c.status == 0) {
      ASSERT_NE(allocated, nullptr);
      EXPECT_EQ((*allocated)["b"], "x");
      delete allocated;
    } else {
      EXPECT_EQ(allocated, nullptr) << "a failed read hands out no document";
    }

    rapidjson::Document doc;
    EXPECT_EQ(JsonUtil::readJsonFile(p.c_str(), doc), c.status);

    std::string text = "stale";
    EXPECT_EQ(JsonUtil::readJsonFile(p.c_str(), text), c.status);
    if (c.status == 0) {
      EXPECT_EQ(text, "{\n    \"a\": [\n        1,\n        2\n    ],\n    \"b\": \"x\"\n}");
    } else {
      EXPECT_EQ(text, "");
    }
  }
  rapidjson::Document doc;
  EXPECT_EQ(JsonUtil::readJsonFile(static_cast<const char*>(nullptr), doc), -1);
}

TEST_F(JsonFile, WriteRefusesBadArgumentsWithoutTouchingTheDisk) {
  rapidjson::Document good;
  good.Parse("{\"k\": 1}");
  rapidjson::Document broken;
  broken.Parse("{");
  rapidjson::Document notANumber;
  notANumber.SetObject();
  notANumber.AddMember("k", std::numeric_limits<double>::quiet_NaN(), notANumber.GetAllocator());

  const std::string existing = path("existing.json");
  write(existing, "{\"old\": true}");
  struct Case {
    const char* what;
    const char* path;
    rapidjson::Document* doc;
    bool create;
    int status;
  };
  const std::string fresh = path("fresh.json");
  const Case cases[] = {
      {"null path", nullptr, &good, true, -11},
      {"null document", existing.c_str(), nullptr, true, -12},
      {"parse error", existing.c_str(), &broken, true, -13},
      {"value without a JSON form", existing.c_str(), &notANumber, true, -13},
      {"no file and no create", fresh.c_str(), &good, false, -123},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JsonUtil::writeJsonFile(c.path, c.doc, c.create), c.status) << c.what;
  }
  EXPECT_EQ(read(existing), "{\"old\": true}");
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_EQ(entries(), 1u) << "no temporary file is left behind";
}

TEST_F(JsonFile, WriteReplacesTheWholeFilePrettyPrinted) {
  const std::string p = path("settings.json");
  write(p, "{\"a\": 1, \"long\": \"................................................\"}");
  chmod(p.c_str(), 0600);
  rapidjson::Document doc;
  doc.Parse("{\"b\":[true,null]}");
  ASSERT_EQ(JsonUtil::writeJsonFile(p.c_str(), &doc, false), 0);
  EXPECT_EQ(read(p), "{\n    \"b\": [\n        true,\n        null\n    ]\n}");
  struct stat st {};
  ASSERT_EQ(stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "a replaced file keeps its mode";
  EXPECT_EQ(entries(), 1u);
}

TEST_F(JsonFile, WriteCreatesMissingFoldersLiterally) {
  rapidjson::Document doc;
  doc.Parse("{\"k\": 2}");
  // Shell characters in a folder name are only characters.
  const std::string folder = path("a b;touch pwned/$(touch pwned2)/deep");
  const std::string p = folder + "/x.json";
  ASSERT_EQ(JsonUtil::writeJsonFile(p.c_str(), &doc, true), 0);
  EXPECT_EQ(read(p), "{\n    \"k\": 2\n}");
  EXPECT_FALSE(fs::exists("pwned"));
  EXPECT_FALSE(fs::exists(path("pwned")));
  EXPECT_FALSE(fs::exists("pwned2"));

  // A folder that cannot be made: the second attempt fails.
  write(path("plain"), "");
  const std::string blocked = path("plain/sub/x.json");
  EXPECT_EQ(JsonUtil::writeJsonFile(blocked.c_str(), &doc, true), -3);
}

TEST_F(JsonFile, TextAndDocumentConvertBothWays) {
  rapidjson::Document doc;
  std::string text = "[1, {\"a\": \"b\"}]";
  ASSERT_EQ(JsonUtil::str2json(doc, text), 0);
  std::string out;
  ASSERT_EQ(JsonUtil::json2str(doc, out), 0);
  EXPECT_EQ(out, "[\n    1,\n    {\n        \"a\": \"b\"\n    }\n]");
  std::string bad = "[1,";
  EXPECT_EQ(JsonUtil::str2json(doc, bad), -1);
}
