#include "settings/data_setting.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "settings/kernel_values.h"
#include "stdout_capture.h"

namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("torvix_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  QString path() const { return QString::fromStdString((dir_ / "torvix.conf").string()); }
  void write(const std::string& text) const { std::ofstream(dir_ / "torvix.conf") << text; }
  std::string text() const {
    std::ifstream in(dir_ / "torvix.conf");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

}  // namespace

TEST_F(SettingsFile, WithoutGroupQuillonEveryValueTakesItsDefault) {
  struct Row {
    const char* name;
    const char* content;  // null: no file at all
  };
  const Row rows[] = {{"no file", nullptr}, {"other group", "[Other]\nquillon_data_port=1\n"}};
  for (const Row& row : rows) {
    fs::remove(dir_ / "torvix.conf");
    if (row.content != nullptr) write(row.content);
    DataSetting s;
    s.data_port = -1;
    int testPort = 0;
    zelor::test::StdoutCapture out;
    readDataSetting(path(), s, testPort);
    const std::string printed = out.finish();
    EXPECT_EQ(s.data_port, 12345) << row.name;
    EXPECT_EQ(s.debug_port, 11000) << row.name;
    EXPECT_EQ(s.lua_port, 12346) << row.name;
    EXPECT_EQ(s.packet_size, 20) << row.name;
    EXPECT_EQ(s.buffer_size, 8192) << row.name;
    EXPECT_EQ(s.debug_size, 50) << row.name;
    EXPECT_EQ(s.broadcast_port, 6000) << row.name;
    EXPECT_EQ(s.broadcast_chkmsg, "WhoisZelorW7") << row.name;
    EXPECT_EQ(testPort, 33000) << row.name;
    EXPECT_NE(printed.find("### readSetting: 0, 192.168.2.6, 255.255.255.0, 192.168.2.6, "), std::string::npos)
        << printed;
    // Reading writes nothing.
    EXPECT_EQ(fs::exists(dir_ / "torvix.conf"), row.content != nullptr) << row.name;
  }
}

TEST_F(SettingsFile, BufferSizeIsKiBInTheFileAndBytesInMemory) {
  write("[Quillon]\nbuffer_size=16\neth2_dhcp=true\neth2_ip=10.0.0.2\ntest_port=1234\n");
  DataSetting s;
  int testPort = 0;
  zelor::test::StdoutCapture out;
  readDataSetting(path(), s, testPort);
  const std::string printed = out.finish();
  EXPECT_EQ(s.buffer_size, 16384);
  EXPECT_TRUE(s.eth2_dhcp);
  EXPECT_EQ(testPort, 1234);
  EXPECT_NE(printed.find("### readSetting: 1, 10.0.0.2,"), std::string::npos) << printed;

  s.data_port = 23456;
  writeDataSetting(path(), s, testPort);
  const std::string written = text();
  EXPECT_NE(written.find("buffer_size=16\n"), std::string::npos) << written;
  EXPECT_NE(written.find("quillon_data_port=23456"), std::string::npos) << written;
  EXPECT_NE(written.find("test_port=1234"), std::string::npos) << written;

  DataSetting back;
  int backPort = 0;
  zelor::test::StdoutCapture again;
  readDataSetting(path(), back, backPort);
  again.finish();
  EXPECT_EQ(back.buffer_size, 16384);
  EXPECT_EQ(back.data_port, 23456);
  EXPECT_EQ(back.eth2_ip, "10.0.0.2");
}

TEST_F(SettingsFile, VersionIsTheWholeFileElseOneZeroZero) {
  EXPECT_EQ(readVersionText((dir_ / "missing.conf").c_str()), "1.0.0");
  std::ofstream(dir_ / "version.conf") << "2.4.1\nbuild 7\n";
  EXPECT_EQ(readVersionText((dir_ / "version.conf").c_str()), "2.4.1\nbuild 7\n");
}

TEST_F(SettingsFile, KernelValuesLiveInTheirOwnGroupBesideTheDataSettings) {
  write("[Quillon]\nquillon_data_port=4000\n");
  EXPECT_EQ(loadKernelValue(path(), "neverStored"), 0.0);
  storeKernelValue(path(), "zeroOffset", 12.5);
  EXPECT_EQ(loadKernelValue(path(), "zeroOffset"), 12.5);
  EXPECT_EQ(loadKernelValue(path(), "neverStored"), 0.0);
  DataSetting s;
  int testPort = 0;
  zelor::test::StdoutCapture out;
  readDataSetting(path(), s, testPort);
  out.finish();
  EXPECT_EQ(s.data_port, 4000);
  EXPECT_NE(text().find("[Scara_Framework]"), std::string::npos);
}
