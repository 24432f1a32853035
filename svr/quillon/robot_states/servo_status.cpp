#include <cmath>


#include "json/project_structure.h"
#include "robot_states/robot_states.h"

double RobotStates::GetServoStatus(int j, const stModbusServo* servo, double a, double b, double c) {
  const st_structure* structure = structure_.load();
  if (j < 0 || j >= kJoints || servo == nullptr || structure == nullptr) return 0.0;
  const double scale = std::pow(2.0, structure->motors[j].bitNum) * structure->motors[j].gearBoxDen;
  servo_[j][0] = static_cast<float>(scale * servo[j].first / 360.0);
  servo_[j][1] = static_cast<float>(scale * servo[j].second / 360.0);
  // A zero divisor would publish an infinity.
  servo_[j][2] = c != 0.0 ? static_cast<float>(a * b / c) : 0.0f;
  return scale;
}
