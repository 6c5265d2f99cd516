#pragma once
// The running program: the Download list, the parts that work on it, and the
// main window that shows them. It creates them in order, lives from start-up
// to the end of the process, and wires each part to the window through the
// small interface that part declares.
#include <map>
#include <string>

#include "downloadlist/DownloadGridView.h"
#include "downloadlist/DownloadList.h"
#include "downloadlist/QueueKeeper.h"
#include "monitor/ClipboardMonitor.h"
#include "shell/ItemPresenter.h"
#include "shell/Settings.h"
#include "shell/frmMain.h"
#include "transfer/QueueDriver.h"
#include "transfer/TransferRate.h"

namespace mf {

namespace test {
class TestProgram;
}

class Program final : private IRunEvents,
                      private IMonitorEvents,
                      private ISettingsHost,
                      private IDownloadGridHost {
 public:
  Program() { list.SetTexts(&presenter_); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Marrowfin.exe: the window shown with the list kept in the user's file,
  // until the window is closed; returns the process's exit code.
  int Run();
  // Start-up: the list as the last run left it, shown, with Start available
  // when it has items.
  void RestoreList();

 private:
  // The window and its pieces compose the parts; tests reach them through
  // their own accessor.
  friend class frmMain;
  friend class frmMenu;
  friend class MainFrame;
  friend class test::TestProgram;

  DownloadList list;
  // Keeps the list between runs once given its file (Run gives it the
  // user's; a test may give its own).
  QueueKeeper keeper{list};
  QueueDriver queue{list, *this};
  ClipboardMonitor monitor{*this};
  Settings settings{monitor, *this};
  DownloadGridView gridView{list, *this};
  frmMain form{*this};

  ItemPresenter presenter_;

  // Shared by several of the interfaces.
  HWND OwnerWindow() override { return form.Hwnd(); }
  void SetFlashVariable(const std::wstring& name, const std::wstring& value) override;
  bool IsDownloading() override { return queue.IsDownloading; }
  bool AddURLToList(const std::wstring& address) override { return gridView.AddURLToList(address); }

  // ISettingsHost (shell/Limits.cpp)
  void LimitsChanged() override;

  // IRunEvents (shell/RunEvents.cpp)
  std::wstring DownloadFolder() override { return settings.DownloadFolder; }
  bool ConfirmStop() override;
  void StartRefused(Refusal why) override;
  void RunningChanged(bool running) override;
  void RunStarted() override;
  void RunWaiting(int opensAt) override;
  void RunEnded(int downloaded, int failed) override;
  void ItemChanged(uint32_t key) override { gridView.ShowItem(key); }
  void TransferProgress(uint32_t key, int64_t bytesReceived, float fileSize) override;
  void TransferEnded(uint32_t key) override;
  void ItemNotice(uint32_t key, const std::wstring& text) override;
  void ConnectionError(const std::wstring& description) override;
  void EndTransferProgress();

  // IMonitorEvents
  void LaunchWatcher(bool on) override;
  void SetPolling(bool on) override;
  bool IsPolling() override { return form.tmrMonitor.Enabled(); }
  void AddressTaken(const std::wstring& address, bool announce) override;
  void StartDownloadSoon() override { form.tmrDownload.SetEnabled(true); }
  void StartDownloadNow() override { queue.cmdStartDownload_Click(); }

  // IDownloadGridHost
  void ListHasItems(bool any) override {
    SetFlashVariable(L"_root.downloadBtn", any ? L"1" : L"0");
  }
  void ListNotice(const std::wstring& text) override { SetFlashVariable(L"_root.notice", text); }
  void ListFillFailed(long number, const std::wstring& description) override;
  int CurrentIndex() override { return queue.CurrentIndex(); }

  // The transfers under way, by item, and the bytes they brought in all.
  struct Arrival {
    int64_t bytes = 0, size = 0;
  };
  std::map<uint32_t, Arrival> arrivals_;
  int64_t runBytes_ = 0;
  TransferRate rate_;  // of them all
};

}  // namespace mf
