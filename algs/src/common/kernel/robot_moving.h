#pragma once

// True while any commanded joint speed exceeds 1e-5 in magnitude; logs the
// answer.
bool IsRobotMoving();
