#include "dynamics_fit/sample_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <vector>

namespace zelor::modules::dynamics {

namespace {

constexpr float kQuarterTurn = 1.5707964F;

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Parses every value of a line; the first kValuesUsed are kept. Prints the
// reason and returns false when the line is not a sample.
bool parseLine(std::string_view line, const std::string& path, std::size_t lineNo, float* values) {
  int count = 0;
  while (true) {
    const std::size_t comma = line.find(',');
    const std::string_view piece = trimmed(line.substr(0, comma));
    float value = 0.0F;
    const auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (piece.empty() || ec != std::errc() || end != piece.data() + piece.size() || !std::isfinite(value)) {
      std::printf("%s line %zu: value %d is not a number\n", path.c_str(), lineNo, count + 1);
      return false;
    }
    if (count < kValuesUsed) values[count] = value;
    ++count;
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
  if (count < kValuesUsed) {
    std::printf("%s line %zu: %d values, %d needed\n", path.c_str(), lineNo, count, kValuesUsed);
    return false;
  }
  return true;
}

// The three differences of the sample period: one-sided at both ends, central inside.
void differentiate(Eigen::MatrixXf& m, int from, int to) {
  const Eigen::Index last = m.rows() - 1;
  for (int c = 0; c < 6; ++c) {
    m(0, to + c) = (m(1, from + c) - m(0, from + c)) / kSamplePeriod;
    for (Eigen::Index i = 1; i < last; ++i) {
      m(i, to + c) = (m(i + 1, from + c) - m(i - 1, from + c)) / (2.0F * kSamplePeriod);
    }
    m(last, to + c) = (m(last, from + c) - m(last - 1, from + c)) / kSamplePeriod;
  }
}

}  // namespace

std::optional<Eigen::MatrixXf> readSampleFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::printf("fopen %s error !!!\n", path.c_str());
    return std::nullopt;
  }
  std::vector<float> values;
  std::string line;
  std::size_t lineNo = 0;
  std::size_t blankRun = 0;  // blank lines are accepted only at the end of the file
  while (std::getline(in, line)) {
    ++lineNo;
    if (trimmed(line).empty()) {
      ++blankRun;
      continue;
    }
    if (blankRun > 0) {
      std::printf("%s line %zu: empty line inside the samples\n", path.c_str(), lineNo - blankRun);
      return std::nullopt;
    }
    values.resize(values.size() + kValuesUsed);
    if (!parseLine(line, path, lineNo, values.data() + values.size() - kValuesUsed)) return std::nullopt;
  }
  if (in.bad()) {
    std::printf("%s: read error\n", path.c_str());
    return std::nullopt;
  }
  const auto rows = static_cast<unsigned>(values.size() / kValuesUsed);
  std::printf("rows = %u \n", rows);
  if (rows < 2) {
    std::printf("%s: %u sample line(s), at least 2 needed\n", path.c_str(), rows);
    return std::nullopt;
  }
  std::printf("rows: %u, cols: %u\n", rows, static_cast<unsigned>(kValuesUsed));

  Eigen::MatrixXf all(rows, kSampleColumns);
  for (unsigned i = 0; i < rows; ++i) {
    const float* v = values.data() + static_cast<std::size_t>(i) * kValuesUsed;
    for (int c = 0; c < 6; ++c) {
      all(i, c) = v[c];
      all(i, 18 + c) = v[6 + c];
    }
    all(i, 1) -= kQuarterTurn;
    all(i, 3) -= kQuarterTurn;
  }
  differentiate(all, 0, 6);
  differentiate(all, 6, 12);

  std::vector<Eigen::Index> kept;
  for (Eigen::Index i = 0; i < all.rows(); ++i) {
    if ((all.row(i).segment(6, 6).array().abs() > kSlowJoint).all()) kept.push_back(i);
  }
  Eigen::MatrixXf result(static_cast<Eigen::Index>(kept.size()), kSampleColumns);
  for (std::size_t n = 0; n < kept.size(); ++n) result.row(static_cast<Eigen::Index>(n)) = all.row(kept[n]);
  std::printf("result_rows: %d\n", static_cast<int>(kept.size()));
  return result;
}

}  // namespace zelor::modules::dynamics
