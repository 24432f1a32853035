#include "common/cycle/hand_guiding.h"

// PENDING: the dynamics stage's hand-guiding switch and torques.
void SetHandGuiding(bool) {}
double HandGuidingFriction(int) { return 0.0; }
