#include "tests/support/Process.h"

#include "common/AppPath.h"
#include "common/Text.h"
#include "common/WindowText.h"

namespace mf::test {

std::wstring BesideTest(const std::wstring& fileName) { return ProgramFolder() + L"\\" + fileName; }

bool ChildProcess::Start(const std::wstring& exe, const std::wstring& args, bool captureOutput) {
  STARTUPINFOA si{sizeof si};
  UniqueKernelHandle outWrite;
  if (captureOutput) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    if (!CreatePipe(&r, &w, &sa, 0)) return false;
    outRead_.reset(r);
    outWrite.reset(w);
    SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = w;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  std::string cmd(1, '"');
  cmd.append(ToAnsi(exe)).append(1, '"');
  if (!args.empty()) cmd.append(1, ' ').append(ToAnsi(args));
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, captureOutput, 0, nullptr, nullptr,
                      &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  process_.reset(pi.hProcess);
  pid_ = pi.dwProcessId;
  return true;
}

bool ChildProcess::Running() const {
  return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_) return false;
  if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_.get(), exitCode);
  return true;
}

bool ChildProcess::ReadLine(std::string& line, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      line = pending_.substr(0, nl);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pending_.erase(0, nl + 1);
      return true;
    }
    DWORD avail = 0;
    if (!outRead_ || !PeekNamedPipe(outRead_.get(), nullptr, 0, nullptr, &avail, nullptr))
      return false;
    if (avail > 0) {
      char buf[512];
      DWORD got = 0;
      if (!ReadFile(outRead_.get(), buf, std::min<DWORD>(avail, sizeof buf), &got, nullptr))
        return false;
      pending_.append(buf, got);
      continue;
    }
    if (GetTickCount64() >= deadline) return false;
    Sleep(5);
  }
}

void ChildProcess::Kill() {
  if (Running()) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

ChildProcess::~ChildProcess() { Kill(); }

namespace {
struct EnumState {
  DWORD pid;
  const char* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp) {
  auto* st = reinterpret_cast<EnumState*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != st->pid) return TRUE;
  if (st->className) {
    char cls[256] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, st->className) != 0) return TRUE;
  }
  st->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND hwnd, LPARAM lp) {
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    auto* text = reinterpret_cast<std::wstring*>(lp);
    std::wstring t = GetText(hwnd);
    if (!t.empty()) {
      if (!text->empty()) *text += L"\n";
      *text += t;
    }
  }
  return TRUE;
}
}  // namespace

std::vector<HWND> WindowsOfProcess(DWORD pid, const char* className) {
  EnumState st{pid, className, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&st));
  return st.found;
}

HWND WaitForWindow(DWORD pid, const char* className, const char* title, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  do {
    for (HWND h : WindowsOfProcess(pid, className)) {
      if (!IsWindowVisible(h)) continue;
      if (!title) return h;
      char t[256] = {};
      GetWindowTextA(h, t, sizeof t);
      if (lstrcmpA(t, title) == 0) return h;
    }
    Sleep(20);
  } while (GetTickCount64() < deadline);
  return nullptr;
}

std::wstring DialogText(HWND dialog) {
  std::wstring text;
  EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

}  // namespace mf::test
