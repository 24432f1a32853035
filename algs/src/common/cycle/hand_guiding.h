#pragma once

// Hand guiding as the cycle drives it: the switch the servo-mode switch sets,
// and the friction term each joint's drive gets while it is on.
void SetHandGuiding(bool on);
double HandGuidingFriction(int joint);
