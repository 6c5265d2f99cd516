#include "traylib/trayicon/mTray.h"

#include <cstddef>
#include <cstring>

#include "traylib/Library.h"
#include "traylib/PerThread.h"
#include "traylib/trayicon/mSharedMemory.h"

namespace sd::mTray {

namespace {

// The per-thread state of the search: the tray process and the table of the last search.
struct SearchState {
  DWORD trayProcessId = 0;
  std::vector<ToolRecord> tools = std::vector<ToolRecord>(1);
};
PerThread<SearchState> t_state;

// TOOLINFO up to its lParam (the record of common controls 4.70): 44 bytes on
// 32-bit Windows, 64 on 64-bit.
constexpr SIZE_T kToolInfoSize = offsetof(TTTOOLINFOW, lpReserved);
#ifndef _WIN64
static_assert(kToolInfoSize == 44);
#endif
// Text the search reads per tool: 80 bytes, 40 wide or 80 ANSI characters.
constexpr SIZE_T kTextBytes = 80;
constexpr WPARAM kTextChars = 80;

// The taskbar's process may hang: the search waits this long for each
// answer, and not at all for a process the system already deems hung.
constexpr UINT kTaskbarAnswerMs = 1000;

// Sends a message to a window of the taskbar's process; false when no answer
// came in time, which leaves the icon's position unknown.
bool Ask(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* answer = nullptr) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                           kTaskbarAnswerMs, &result))
    return false;
  if (answer) *answer = static_cast<LRESULT>(result);
  return true;
}

std::string ClassOf(HWND hwnd, int size) {
  std::string name(static_cast<size_t>(size), '\0');
  int n = GetClassNameA(hwnd, name.data(), size);
  name.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return name;
}

HWND ChildOfClass(HWND parent, const char* className) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (ClassOf(child, 250) == className) return child;
  return nullptr;
}

// False when the tooltip window stopped answering.
template <typename Block>
bool ReadEachTool(HWND tooltip, const Block& info, const Block& text, SIZE_T textBlockBytes,
                  bool wide, std::vector<ToolRecord>& table) {
  const UINT enumTools = wide ? TTM_ENUMTOOLSW : TTM_ENUMTOOLSA;
  const UINT getText = wide ? TTM_GETTEXTW : TTM_GETTEXTA;
  TTTOOLINFOW record{};
  record.cbSize = kToolInfoSize;
  info.Write(&record, kToolInfoSize);
  const std::vector<char> zeros(textBlockBytes, '\0');
  for (size_t i = 0; i < table.size(); ++i) {
    text.Write(zeros.data(), textBlockBytes);
    if (!Ask(tooltip, enumTools, i, reinterpret_cast<LPARAM>(info.Address()))) return false;
    info.Read(&record, kToolInfoSize);
    record.lpszText = static_cast<LPWSTR>(text.Address());
    info.Write(&record, kToolInfoSize);
    if (!Ask(tooltip, getText, kTextChars, reinterpret_cast<LPARAM>(info.Address()))) return false;
    char raw[kTextBytes + 2] = {};
    text.Read(raw, kTextBytes);
    ToolRecord& entry = table[i];
    entry.info = record;
    if (wide) {
      const auto* chars = reinterpret_cast<const wchar_t*>(raw);
      entry.text.assign(chars, wcsnlen(chars, kTextBytes / sizeof(wchar_t)));
    } else {
      std::string ansi(raw, strnlen(raw, kTextBytes));
      int n =
          MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
      entry.text.assign(static_cast<size_t>(n), L'\0');
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), entry.text.data(),
                          n);
    }
  }
  return true;
}

struct TooltipSearch {
  DWORD processId;
  HWND found = nullptr;
};

BOOL CALLBACK PickTrayTooltip(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<TooltipSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  if (ClassOf(hwnd, 128) != "tooltips_class32" || pid != search->processId ||
      (style & TTS_NOPREFIX))
    return TRUE;
  search->found = hwnd;
  return FALSE;
}

}  // namespace

Family CurrentFamily() {
  OSVERSIONINFOA os{sizeof os};
  GetVersionExA(&os);
  return os.dwPlatformId == VER_PLATFORM_WIN32_NT ? Family::Nt : Family::Other;
}

std::wstring Marker() {
  return L"wAnTeD tRaY iCoN " + std::to_wstring(reinterpret_cast<LONG_PTR>(LibraryInstance()));
}

HWND SysTrayHWnd() {
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  if (!tray) return nullptr;
  HWND result = ChildOfClass(tray, "TrayNotifyWnd");
  if (!result) return nullptr;
  if (HWND pager = ChildOfClass(result, "SysPager")) result = pager;
  if (HWND toolbar = ChildOfClass(result, "ToolbarWindow32")) result = toolbar;
  return result;
}

std::vector<ToolRecord> ReadTools(HWND tooltip, Family family) {
  std::vector<ToolRecord> table(1);
  LRESULT count = 0;
  if (!Ask(tooltip, TTM_GETTOOLCOUNT, 0, 0, &count) || count <= 0) return table;
  table.resize(static_cast<size_t>(count));
  bool answered = true;
  if (family == Family::Nt) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tooltip, &pid);
    constexpr SIZE_T kWideTextBlock = 160;
    mSharedMemory::RemoteBlock info(pid, kToolInfoSize);
    mSharedMemory::RemoteBlock text(pid, kWideTextBlock);
    if (info && text) answered = ReadEachTool(tooltip, info, text, kWideTextBlock, true, table);
  } else {
    mSharedMemory::MappedBlock info(kToolInfoSize);
    mSharedMemory::MappedBlock text(kTextBytes);
    if (info && text) answered = ReadEachTool(tooltip, info, text, kTextBytes, false, table);
  }
  // Half a table from a window that stopped answering tells nothing.
  if (!answered) return std::vector<ToolRecord>(1);
  return table;
}

RECT FindMarkedRect(const std::wstring& marker) {
  RECT found{};
  HWND toolbar = SysTrayHWnd();
  if (!toolbar) return found;
  RECT bar{};
  GetWindowRect(toolbar, &bar);

  SearchState& state = t_state.Get();
  state.tools.assign(1, ToolRecord{});
  HWND notify =
      FindWindowExA(FindWindowA("Shell_TrayWnd", nullptr), nullptr, "TrayNotifyWnd", nullptr);
  state.trayProcessId = 0;
  if (notify) GetWindowThreadProcessId(notify, &state.trayProcessId);

  TooltipSearch search{state.trayProcessId};
  EnumWindows(PickTrayTooltip, reinterpret_cast<LPARAM>(&search));
  if (search.found) state.tools = ReadTools(search.found, CurrentFamily());

  if (state.tools.size() == 1 && state.tools[0].info.hwnd == nullptr) return found;
  for (const ToolRecord& tool : state.tools) {
    if (tool.text != marker) continue;
    found.left = bar.left + tool.info.rect.left;
    found.top = bar.top + tool.info.rect.top;
    found.right = bar.left + tool.info.rect.right;
    found.bottom = bar.top + tool.info.rect.bottom;
    break;
  }
  return found;
}

LONG Middle(LONG low, LONG high) {
  const LONGLONG twice = static_cast<LONGLONG>(low) + high;
  LONGLONG half = twice >= 0 ? twice / 2 : -((-twice + 1) / 2);  // floor(twice / 2)
  if ((twice & 1) != 0 && (half & 1) != 0) ++half;               // .5 goes to the even neighbour
  return static_cast<LONG>(half);
}

DWORD TrayProcessId() { return t_state.Get().trayProcessId; }
const std::vector<ToolRecord>& ToolTable() { return t_state.Get().tools; }

}  // namespace sd::mTray
