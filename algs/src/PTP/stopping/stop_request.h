#pragma once

// Requests a stop of `kind` (StopMode: 0 emergency, 1 smooth S-curve, 2 on the
// path, 3 teach): mode 7, gStopMode = kind, the stop to be planned afresh. A
// request while a stop runs replaces its kind and restarts its planning.
void SetStopParams(int kind);
