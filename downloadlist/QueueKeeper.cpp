#include "downloadlist/QueueKeeper.h"

#include <cwchar>
#include <optional>

#include "common/AppInfo.h"
#include "common/AppPath.h"
#include "common/Platform.h"
#include "common/WholeFile.h"
#include "downloadlist/QueueFile.h"

namespace mf {
namespace {

constexpr char kClassName[] = "MarrowfinQueueKeeper";
constexpr wchar_t kFileName[] = L"\\queue.json";
constexpr wchar_t kAsideMark[] = L".damaged-";

std::wstring FolderOf(const std::wstring& file) {
  const size_t slash = file.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
}

// The local time as "20250102-130405".
std::wstring TimeStamp() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  wchar_t text[24] = {};
  std::swprintf(text, std::size(text), L"%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  return text;
}

std::wstring ReadFailure(DWORD error) {
  return error == ERROR_FILE_TOO_LARGE
             ? L"the file is too large"
             : L"the file could not be read (error " + std::to_wstring(error) + L")";
}

}  // namespace

QueueKeeper::QueueKeeper(DownloadList& list) : list_(list) { list_.SetObserver(this); }

QueueKeeper::~QueueKeeper() {
  if (SavePending()) SaveNow();
  list_.SetObserver(nullptr);
}

std::wstring QueueKeeper::DefaultFile() {
  const std::wstring folder = UserDataFolder();
  return folder.empty() ? folder : folder + kFileName;
}

void QueueKeeper::SetFile(const std::wstring& file) {
  file_ = file;
  if (Hwnd()) return;
  RegisterClassOnce(kClassName, 0, nullptr);
  CreateFor(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
  timer_.Attach(Hwnd());
}

std::wstring QueueKeeper::Restore() {
  if (file_.empty()) return {};
  DWORD error = ERROR_SUCCESS;
  std::optional<std::string> text = ReadWholeFile(file_, kMaxFileBytes, error);
  if (!text && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
    saving_ = true;  // nothing kept yet
    return {};
  }
  std::wstring why = ReadFailure(error);
  std::optional<DownloadItems> items;
  try {
    if (text) items = QueueFromJson(*text, why);
  } catch (const std::exception&) {
    items.reset();  // out of memory: treated as a file this run cannot read
  }
  if (!items) return SetAside(why);
  saved_ = std::move(*text);
  list_.RestoreItems(std::move(*items));
  saving_ = true;
  return {};
}

std::wstring QueueKeeper::SetAside(const std::wstring& why) {
  // Kept for the user (or for us) to look at; a later start never reads it.
  const std::wstring base = file_ + kAsideMark + TimeStamp();
  std::wstring aside = base;
  bool moved = MoveFileW(file_.c_str(), aside.c_str()) != FALSE;
  for (int n = 2; !moved && n < 100 && GetLastError() == ERROR_ALREADY_EXISTS; ++n) {
    aside = base + L"-" + std::to_wstring(n);
    moved = MoveFileW(file_.c_str(), aside.c_str()) != FALSE;
  }
  // A file that could be neither read nor moved may still be good: it is
  // never overwritten then.
  saving_ = moved;
  std::wstring text = L"Marrowfin could not read the download list it kept, because " + why +
                      L". It starts with an empty list.\r\n\r\n";
  text += moved ? L"The file was kept as \"" + aside + L"\"."
                : L"The file was left as it is, \"" + file_ +
                      L"\", and this time the list will not be kept.";
  return text;
}

bool QueueKeeper::SaveNow() {
  timer_.SetEnabled(false);
  if (!saving_) return false;
  try {
    std::string text = QueueToJson(list_.Items());
    if (text == saved_) return true;
    if (!Write(text)) return false;  // tried again with the next change, and at shutdown
    saved_ = std::move(text);
    return true;
  } catch (const std::exception&) {
    return false;  // out of memory: likewise
  }
}

bool QueueKeeper::Write(const std::string& text) {
  // One level: the application-data folder itself exists.
  CreateDirectoryW(FolderOf(file_).c_str(), nullptr);
  return ReplaceWholeFile(file_, text);
}

void QueueKeeper::ListChanged() noexcept {
  // The first change starts the delay; the ones within it ride along.
  if (saving_ && !timer_.Enabled()) timer_.SetEnabled(true);
}

LRESULT QueueKeeper::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER && wParam == idTmrSave) {
    SaveNow();
    return 0;
  }
  return Window::HandleMessage(msg, wParam, lParam);
}

}  // namespace mf
