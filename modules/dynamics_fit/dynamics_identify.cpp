#include "dynamics_fit/dynamics_identify.h"

#include <Eigen/Dense>
#include <cstdio>
#include <limits>

#include "dynamics_fit/parameter_names.h"
#include "dynamics_fit/result_file.h"
#include "dynamics_fit/sample_file.h"

namespace zelor::modules::dynamics {

namespace {

// "DG<j><name>" for joint j (rows) and every base parameter (columns).
const std::array<std::array<std::string, kBaseParameterCount>, kJointCount>& columnNames() {
  static const auto names = [] {
    std::array<std::array<std::string, kBaseParameterCount>, kJointCount> n;
    for (std::size_t j = 0; j < kJointCount; ++j) {
      for (std::size_t c = 0; c < kBaseParameterCount; ++c) {
        n[j][c] = "DG" + std::to_string(j + 1) + kBaseParameterNames[c];
      }
    }
    return n;
  }();
  return names;
}

}  // namespace

DynamicsIdentify::DynamicsIdentify() {
  const auto& names = model_.entryNames();
  for (std::size_t n = 0; n < kRegressorEntryCount; ++n) slots_[n] = &_data_map[names[n]];
}

float DynamicsIdentify::get_value(const std::string& name) const {
  const auto it = _data_map.find(name);
  return it == _data_map.end() ? 0.0F : it->second;
}

void DynamicsIdentify::evaluateSample(const float* sampleRow) {
  model_.evaluate(sampleRow, sampleRow + 6, sampleRow + 12, scratch_);
  for (std::size_t n = 0; n < kRegressorEntryCount; ++n) *slots_[n] = scratch_[n];
}

std::optional<Eigen::MatrixXf> DynamicsIdentify::ReadData(const std::string& path) {
  return readSampleFile(path);
}

std::optional<Eigen::VectorXf> DynamicsIdentify::caculateMatrix(const std::string& first,
                                                                 const std::string& second,
                                                                 const std::string& result) {
  const auto a = ReadData(first);
  if (!a) return std::nullopt;
  const auto b = ReadData(second);
  if (!b) return std::nullopt;
  const Eigen::Index n = a->rows() + b->rows();
  if (n < static_cast<Eigen::Index>(kBaseParameterCount)) {
    std::printf("identify: %ld samples kept, at least %zu needed; no fit\n", static_cast<long>(n),
                kBaseParameterCount);
    return std::nullopt;
  }
  // Row-major so that each sample fills a contiguous block of W.
  Eigen::Matrix<float, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> samples(n, a->cols());
  samples << *a, *b;

  const auto& names = columnNames();
  Eigen::MatrixXf w(6 * n, static_cast<Eigen::Index>(kBaseParameterCount));
  Eigen::VectorXf tau(6 * n);
  for (Eigen::Index s = 0; s < n; ++s) {
    evaluateSample(samples.row(s).data());
    for (std::size_t j = 0; j < kJointCount; ++j) {
      const Eigen::Index row = 6 * s + static_cast<Eigen::Index>(j);
      for (std::size_t c = 0; c < kBaseParameterCount; ++c) {
        w(row, static_cast<Eigen::Index>(c)) = get_value(names[j][c]);
      }
      tau(row) = samples(s, 18 + static_cast<Eigen::Index>(j));
    }
    std::printf("... ... still = %u\n", static_cast<unsigned>(n - s));
  }

  const Eigen::MatrixXf normal = w.transpose() * w;
  std::puts(">>>>>>>>>111111111111 Identify Cal Done<<<<<<<<<<");
  const Eigen::PartialPivLU<Eigen::MatrixXf> lu(normal);
  const float rcond = lu.rcond();
  if (!(rcond >= std::numeric_limits<float>::epsilon())) {
    std::printf("identify: the data do not excite every parameter (reciprocal condition %g); no fit\n",
                static_cast<double>(rcond));
    return std::nullopt;
  }
  const Eigen::MatrixXf inverse = lu.solve(Eigen::MatrixXf::Identity(normal.rows(), normal.cols()));
  std::puts(">>>>>>>>>2222222222 Identify Cal Done<<<<<<<<<<");
  Eigen::MatrixXf bMatrix(inverse.rows(), w.rows());
  bMatrix.noalias() = inverse * w.transpose();
  std::puts(">>>>>>>>>3333333333 Identify Cal Done<<<<<<<<<<");
  Eigen::VectorXf x = bMatrix * tau;
  std::puts(">>>>>>>>>4444444444444 Identify Cal Done<<<<<<<<<<");
  if (!x.allFinite()) {
    std::printf("identify: the fit gave values that are not finite; no fit\n");
    return std::nullopt;
  }
  if (!writeResultFile(result, x)) return std::nullopt;
  return x;
}

bool DynamicsIdentify::caculateDynamicParams(const std::string& dataDir, const std::string& resultDir) {
  const auto x = caculateMatrix(dataDir + "identify1.csv", dataDir + "identify2.csv",
                                resultDir + "dynamics_params.csv");
  if (!x) return false;
  std::printf("calc done!\r");
  std::fflush(stdout);
  return true;
}

}  // namespace zelor::modules::dynamics
