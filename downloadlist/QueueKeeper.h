#pragma once
// Keeps the Download list in a file between runs. The list tells the keeper
// of every change; the keeper writes the file at most once a second (a run's
// progress touches the running item many times a second) and only when its
// text changed, and at once when asked, as the program's shutdown does. A
// killed program loses at most the last second.
#include <windows.h>

#include <string>

#include "common/Window.h"
#include "common/WindowTimer.h"
#include "downloadlist/DownloadList.h"

namespace mf {

class QueueKeeper final : public Window, private IListObserver {
 public:
  static constexpr UINT kSaveDelayMs = 1000;
  static constexpr size_t kMaxFileBytes = 64u << 20;

  explicit QueueKeeper(DownloadList& list);
  ~QueueKeeper() override;  // saves what is pending

  // "<the user's local application data>\Tallowmere Marrowfin\queue.json";
  // empty when the system does not say where that folder is.
  static std::wstring DefaultFile();

  // Where the list is kept; none (nothing is read or written) until set. Set
  // once, before Restore.
  void SetFile(const std::wstring& file);
  const std::wstring& File() const noexcept { return file_; }

  // Puts the file's items into the list. A file that cannot be read is set
  // aside under another name and the list starts empty: then what to tell
  // the user, else empty text.
  std::wstring Restore();
  // Writes the list now when its text differs from the file's. False when
  // nothing could be written (no file, or it was left in place unread).
  bool SaveNow();
  bool SavePending() const noexcept { return timer_.Enabled(); }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  enum TimerId : UINT_PTR { idTmrSave = 1 };

  void ListChanged() noexcept override;
  std::wstring SetAside(const std::wstring& why);
  bool Write(const std::string& text);

  DownloadList& list_;
  std::wstring file_;
  // Set once Restore read the file, found none, or moved a damaged one aside:
  // a file that could be neither read nor moved is never overwritten.
  bool saving_ = false;
  std::string saved_;  // the file's text as last read or written
  WindowTimer timer_{idTmrSave, kSaveDelayMs};
};

}  // namespace mf
