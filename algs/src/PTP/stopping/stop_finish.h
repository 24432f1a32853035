#pragma once

// The common end of every stop: the motion is finished, the kernel back in
// mode 0 with the joint speeds, the cycle counters, the excitation state, the
// blending records (true motion), the load record (dynamic optimisation), the
// stop-cleared flags, the entry's path speed and parameter, the encoder check
// flag and the shaping settle flag cleared.
void StopFinishDeal();

// Joint speeds 0 and the teach motion's velocity 0.
void SpeedClear();

// Parameter reset after an alarm stop: the blending and load clearing of the
// finish, the stop-cleared flags 0, resetWord 1, queued execution off and the
// excitation state reset.
void SystemParamsReset();
