#pragma once
// The program runs once per session: the first instance holds a named mutex
// for its whole life.
namespace mf {

inline constexpr char kInstanceMutexName[] = "tallowmeremarrowfin";

// True when an instance of the program already runs: the mutex exists and
// was not created by this process.
bool IsPreviousInstanceRunning();

// Creates the mutex without taking ownership and keeps the handle open until
// the process ends. A failure is ignored: nothing relies on the mutex.
void CreateInstanceMutex();

}  // namespace mf
