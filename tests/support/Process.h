#pragma once
// Starting other programs of the build from a test, and finding their windows.
#include <windows.h>

#include <string>
#include <vector>

#include "common/Handles.h"

namespace mf::test {

// Full path of a program beside the running test program.
std::wstring BesideTest(const std::wstring& fileName);

class ChildProcess {
 public:
  // Starts `exe` with the command-line arguments; stdout is captured when asked.
  bool Start(const std::wstring& exe, const std::wstring& args, bool captureOutput = false);
  DWORD Id() const noexcept { return pid_; }
  HANDLE Handle() const noexcept { return process_.get(); }
  bool Running() const;
  // Waits for the end; returns false on time-out. `exitCode` gets its code.
  bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  // Reads one line of captured output (without CR LF); false at time-out or end.
  bool ReadLine(std::string& line, DWORD timeoutMs);
  void Kill();
  ~ChildProcess();

 private:
  UniqueKernelHandle process_;
  UniqueKernelHandle outRead_;
  std::string pending_;
  DWORD pid_ = 0;
};

// Top-level windows of a process with the given class name (any class when empty).
std::vector<HWND> WindowsOfProcess(DWORD pid, const char* className = nullptr);
// Waits for a visible top-level window of the process with the given class and title.
HWND WaitForWindow(DWORD pid, const char* className, const char* title, DWORD timeoutMs);
// Text of a dialog's static controls, joined with newlines.
std::wstring DialogText(HWND dialog);

}  // namespace mf::test
