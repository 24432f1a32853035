#include "rpc_api/moves/joint_limits.h"

#include <cmath>
#include <cstdlib>
#include <regex>
#include <vector>

#include <rapidjson/document.h>

#include "common/util/json_util.h"

namespace zelor::modules::rpcExecuteApis {

std::array<CoordRange, 4> jointLimitsFromText(const std::string& text) {
  static const std::regex number(R"(-?[0-9]+(\.[0-9]+)?([eE][-+]?[0-9]+)?)", std::regex::ECMAScript);
  std::vector<double> values;
  for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end && values.size() < 8; ++it) {
    values.push_back(std::strtod(it->str().c_str(), nullptr));
  }
  if (values.size() < 8) return kDefaultJointLimits;
  std::array<CoordRange, 4> limits{};
  for (std::size_t j = 0; j < limits.size(); ++j) {
    limits[j] = {values[2 * j], values[2 * j + 1]};
    // A number past the double range ("1e999") is a broken file.
    if (!std::isfinite(limits[j].min) || !std::isfinite(limits[j].max)) return kDefaultJointLimits;
  }
  return limits;
}

std::array<CoordRange, 4> projectJointLimits() {
  rapidjson::Document doc;
  std::string text;
  if (zelor::common::util::JsonUtil::getJointLimts(doc, text) != 0) return kDefaultJointLimits;
  return jointLimitsFromText(text);
}

}  // namespace zelor::modules::rpcExecuteApis
