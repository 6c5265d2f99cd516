#pragma once
// A value of which every thread has its own, made on first use and destroyed
// when the thread ends. C++ thread_local objects with destructors are not safe
// with MinGW's thread support (their storage can be freed before they are
// destroyed), so fiber-local storage does it: its callback runs as each thread
// ends, and freeing the slot when the module unloads destroys what is left.
#include <windows.h>

namespace sd {

template <typename T>
class PerThread {
 public:
  PerThread() noexcept : slot_(FlsAlloc(&Destroy)) {}
  PerThread(const PerThread&) = delete;
  PerThread& operator=(const PerThread&) = delete;
  ~PerThread() {
    if (slot_ != FLS_OUT_OF_INDEXES) FlsFree(slot_);
  }

  T& Get() {
    auto* value = static_cast<T*>(FlsGetValue(slot_));
    if (!value) {
      value = new T();
      FlsSetValue(slot_, value);
    }
    return *value;
  }

 private:
  static void WINAPI Destroy(void* value) { delete static_cast<T*>(value); }
  DWORD slot_;
};

}  // namespace sd
