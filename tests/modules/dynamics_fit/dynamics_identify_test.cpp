#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "dynamics_fit/arm_reference.h"
#include "dynamics_fit/dynamics_identify.h"
#include "support/brevan_rig.h"

namespace zelor::test::dynamics {
namespace {

using zelor::modules::dynamics::DynamicsIdentify;
using zelor::modules::dynamics::kBaseParameterNames;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<double> readValues(const std::string& path) {
  std::ifstream in(path);
  std::vector<double> values;
  std::string line;
  while (std::getline(in, line)) values.push_back(std::stod(line));
  return values;
}

class DynamicsFitFiles : public ::testing::Test {
 protected:
  std::string data() const { return dir_.path() + "/data/"; }
  std::string result() const { return dir_.path() + "/result/"; }
  std::string resultFile() const { return result() + "dynamics_params.csv"; }

  void SetUp() override {
    std::filesystem::create_directories(data());
    std::filesystem::create_directories(result());
  }
  void writeRun(const std::string& name, const ArmParameters& arm, const Excitation& e, int samples, double t0) {
    ASSERT_TRUE(writeIdentificationFile(data() + name, arm, e, samples, t0));
  }
  // Runs the fit on the data directory, capturing what it prints.
  bool fit(std::string& printed) {
    testing::internal::CaptureStdout();
    const bool ok = DynamicsIdentify().caculateDynamicParams(data(), result());
    printed = testing::internal::GetCapturedStdout();
    return ok;
  }

  TempDir dir_;
};

TEST_F(DynamicsFitFiles, RecoversTheBaseParametersOfAKnownArm) {
  std::mt19937 rng(42);
  const ArmParameters arm = randomArm(rng);
  const Excitation first(rng), second(rng);
  writeRun("identify1.csv", arm, first, 1000, 0.0);
  writeRun("identify2.csv", arm, second, 1000, 3.0);
  std::string printed;
  ASSERT_TRUE(fit(printed)) << printed.substr(printed.size() > 2000 ? printed.size() - 2000 : 0);
  EXPECT_NE(printed.find(">>>>>>>>>4444444444444 Identify Cal Done<<<<<<<<<<"), std::string::npos);
  EXPECT_NE(printed.find("calc done!\r"), std::string::npos);

  const std::vector<double> x = readValues(resultFile());
  ASSERT_EQ(x.size(), 52U);
  const auto p = baseParameters(arm);
  double largest = 0.0;
  for (double v : p) largest = std::max(largest, std::abs(v));
  for (std::size_t i = 0; i < p.size(); ++i) {
    EXPECT_NEAR(x[i], p[i], 0.05 * largest) << kBaseParameterNames[i];
  }

  // The fitted model reproduces the recorded torques.
  DynamicsIdentify model;
  double residual = 0.0, energy = 0.0;
  std::size_t count = 0;
  for (const char* file : {"identify1.csv", "identify2.csv"}) {
    const auto samples = model.ReadData(data() + file);
    ASSERT_TRUE(samples.has_value());
    for (Eigen::Index s = 0; s < samples->rows(); ++s) {
      const Eigen::VectorXf row = samples->row(s).transpose();
      model.evaluateSample(row.data());
      for (int j = 1; j <= 6; ++j) {
        double tau = 0.0;
        for (std::size_t c = 0; c < x.size(); ++c) {
          tau += model.get_value("DG" + std::to_string(j) + kBaseParameterNames[c]) * x[c];
        }
        const double recorded = row(17 + j);
        residual += (tau - recorded) * (tau - recorded);
        energy += recorded * recorded;
        ++count;
      }
    }
  }
  ASSERT_GT(count, 0U);
  EXPECT_LT(std::sqrt(residual / count), 0.01 * std::sqrt(energy / count));
}

// A run in which joints 1 and 2 swing and joints 3 to 6 turn at constant speeds.
void writeConstantSpeedRun(const std::string& path, int samples) {
  std::ofstream out(path);
  for (int i = 0; i < samples; ++i) {
    const double t = 0.02 * i;
    out << 0.3 * std::sin(t) + 0.5 * t << ',' << 1.0 + 0.2 * std::cos(1.3 * t) + 0.4 * t;
    for (int j = 3; j <= 6; ++j) out << ',' << 0.1 * j * t;
    out << ",1,2,3,4,5,6\n";
  }
}

struct Refusal {
  const char* name;
  std::function<void(const std::string& dataDir)> prepare;
  const char* message;
};

TEST_F(DynamicsFitFiles, RefusesUnusableDataAndKeepsThePreviousResult) {
  const std::string previous = "previous result\n";
  const std::string constantSpeeds = "the data do not excite every parameter";
  const std::vector<Refusal> cases = {
      {"missing second file", [](const std::string& d) { writeConstantSpeedRun(d + "identify1.csv", 100); },
       "fopen "},
      {"header line",
       [](const std::string& d) {
         std::ofstream(d + "identify1.csv") << "q1,q2,q3,q4,q5,q6,t1,t2,t3,t4,t5,t6\n1,2,3,4,5,6,1,2,3,4,5,6\n";
         writeConstantSpeedRun(d + "identify2.csv", 100);
       },
       "identify1.csv line 1: value 1 is not a number"},
      {"eleven values",
       [](const std::string& d) {
         writeConstantSpeedRun(d + "identify1.csv", 100);
         std::ofstream(d + "identify2.csv") << "1,2,3,4,5,6,1,2,3,4,5,6\n1,2,3,4,5,6,1,2,3,4,5\n";
       },
       "identify2.csv line 2: 11 values, 12 needed"},
      {"one line",
       [](const std::string& d) {
         writeConstantSpeedRun(d + "identify1.csv", 1);
         writeConstantSpeedRun(d + "identify2.csv", 100);
       },
       "identify1.csv: 1 sample line(s), at least 2 needed"},
      {"40 kept samples",
       [](const std::string& d) {
         writeConstantSpeedRun(d + "identify1.csv", 22);
         writeConstantSpeedRun(d + "identify2.csv", 18);
       },
       "40 samples kept, at least 52 needed"},
      {"joints 3 to 6 at constant speeds",
       [](const std::string& d) {
         writeConstantSpeedRun(d + "identify1.csv", 400);
         writeConstantSpeedRun(d + "identify2.csv", 400);
       },
       constantSpeeds.c_str()},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(data());
    std::filesystem::create_directories(data());
    c.prepare(data());
    for (const bool existing : {false, true}) {
      std::filesystem::remove(resultFile());
      if (existing) std::ofstream(resultFile()) << previous;
      std::string printed;
      EXPECT_FALSE(fit(printed));
      EXPECT_NE(printed.find(c.message), std::string::npos) << printed.substr(0, 4000);
      EXPECT_EQ(printed.find("calc done!"), std::string::npos);
      if (existing) {
        EXPECT_EQ(slurp(resultFile()), previous);
      } else {
        EXPECT_FALSE(std::filesystem::exists(resultFile()));
      }
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(result()), {}), existing ? 1 : 0)
          << "no temporary file left behind";
    }
  }
}

TEST_F(DynamicsFitFiles, AResultDirectoryThatCannotBeWrittenIsReported) {
  std::mt19937 rng(5);
  const ArmParameters arm = randomArm(rng);
  const Excitation e(rng);
  writeRun("identify1.csv", arm, e, 600, 0.0);
  writeRun("identify2.csv", arm, e, 600, 20.0);
  std::filesystem::remove_all(result());
  std::string printed;
  EXPECT_FALSE(fit(printed));
  EXPECT_NE(printed.find("can not create " + resultFile()), std::string::npos);
  EXPECT_EQ(printed.find("calc done!"), std::string::npos);
}

}  // namespace
}  // namespace zelor::test::dynamics
