#pragma once

// Generalised-momentum observer of joints 1-3. Its residuals r[0..2] estimate
// the external torques (joint 3: force); one observer for the process, zero at
// load. A call with reset true sets the integrals to the present momenta, so
// the residual starts at minus the bias. tauMeasured and bias hold three
// values; units as the model's (scara_idm.h).
void TauOb(float* r, const float* q, const float* qd, const float* tauMeasured, const float* bias, float dt,
           bool reset);
