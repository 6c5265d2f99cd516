#include "shell/SingleInstance.h"

#include <windows.h>

namespace mf {
namespace {
// Held for the life of the process, never closed (process state, not a window's).
HANDLE g_instanceMutex = nullptr;
}  // namespace

bool IsPreviousInstanceRunning() {
  if (g_instanceMutex) return false;
  HANDLE h = OpenMutexA(SYNCHRONIZE, FALSE, kInstanceMutexName);
  if (!h) return false;
  CloseHandle(h);
  return true;
}

void CreateInstanceMutex() {
  if (g_instanceMutex) return;
  g_instanceMutex = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
}

}  // namespace mf
