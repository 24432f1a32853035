#pragma once

// Resets of queued execution shared by the stop commands and the disabling
// of the arm for hand teaching.

// Queued execution off and not paused, no motion in execution, the pending
// teach move dropped, both rings emptied (their index totals continue), the
// queued-motion index 0.
void ForceStopReset();

// The arm is handed over to hand teaching: ForceStopReset, both inch movers
// idle, the blended path (true motion) and the optimiser's load (dynamic
// optimisation) dropped, and conveyor synchronisation, the external control
// point and the payload switched off.
void DisableDeal();
