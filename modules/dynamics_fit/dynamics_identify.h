#pragma once

#include <Eigen/Core>
#include <optional>
#include <string>
#include <unordered_map>

#include "dynamics_fit/regressor_model.h"

namespace zelor::modules::dynamics {

// Least-squares fit of the arm's base dynamic parameters from two recorded
// identification runs ("identify1.csv", "identify2.csv").
class DynamicsIdentify {
 public:
  DynamicsIdentify();

  // dataDir and resultDir end with "/". Writes resultDir + "dynamics_params.csv"
  // only after a successful fit; returns whether it did.
  bool caculateDynamicParams(const std::string& dataDir, const std::string& resultDir);

  // The kept samples of one file (see readSampleFile), or nothing when refused.
  std::optional<Eigen::MatrixXf> ReadData(const std::string& path);

  // The fit proper: the 52 base parameters in list order, also written to
  // result; nothing when the data are refused or the result cannot be written.
  std::optional<Eigen::VectorXf> caculateMatrix(const std::string& first, const std::string& second,
                                                const std::string& result);

  // A regressor entry of the last evaluated sample, 0 for a name the model lacks.
  float get_value(const std::string& name) const;

  // Evaluates the model for one sample row (24 columns) into the entry map.
  void evaluateSample(const float* sampleRow);

 private:
  RegressorModel model_;
  std::unordered_map<std::string, float> _data_map;
  std::array<float*, kRegressorEntryCount> slots_{};  // the map's values, in model order
  std::array<float, kRegressorEntryCount> scratch_{};
};

}  // namespace zelor::modules::dynamics
