#pragma once

// Semaphore library of the script request channel: keys from the common key
// file, the set of 18 semaphores and the request memory (layout in
// "common/ipc/semlib_shm.h"). Plain C functions with unmangled names.

#include "common/ipc/semlib_shm.h"

extern "C" {

// ftok(key file, id); creates the empty key file first when it is missing.
// Ends the process (status 1) when the file cannot be made or ftok fails.
int getftok(int id);

// Id of the 18-semaphore set of key, created (lock 1, the rest 0) when it does
// not exist yet; an existing set is returned as it is. Ends the process on failure.
int dsem_init(int key);

// P / V on semaphore n, waiting; 0, or the process ends on failure.
int dsem_p(int semid, int n);
int dsem_v(int semid, int n);

// P / V without waiting: semop's result (-1 with EAGAIN when P would block).
int dsem_p_nowait(int semid, int n);
int dsem_v_nowait(int semid, int n);

// Removes the set; a failure is logged and the caller goes on.
void dsem_del(int semid);

// Opens (or creates) the set and the request memory of key getftok(11),
// attaches the memory into *shm and returns the set id. Ends the process on failure.
int init_semlib(semlib_shm** shm);

}
