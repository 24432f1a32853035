#pragma once

// Identification recording, one step per cycle: while a motion entry executes
// in excitation mode 33, every fifth cycle appends one sample (the joint
// positions of gDynamicInfo and the measured torques tm[0..3]) to the data
// server's buffer, at most its capacity. Mode 3 restarts the record index.
void RecordExcitSample(const float* tm);
