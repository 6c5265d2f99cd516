// The queue driver: works through the Download list one item at a time, and
// the start/stop toggle that every start and stop request ends in.
#include <windows.h>

#include "common/AppInfo.h"
#include "common/AppPath.h"
#include "common/Platform.h"
#include "common/Text.h"
#include "common/WindowText.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "downloadlist/modMain.h"
#include "shell/frmMain.h"

namespace mf {
namespace {

constexpr wchar_t kStartCaption[] = L"Start Downloading";
constexpr wchar_t kStopCaption[] = L"Stop Downloading";

const DownloadItem* ItemAt(size_t position) {
  return position < modMain::DownloadList.size() ? &modMain::DownloadList[position] : nullptr;
}

}  // namespace

bool frmMain::IsConnected() { return Platform().IsOnline(); }

void frmMain::SetRunCaptions(const wchar_t* caption) {
  SetText(cmdStartDownload, caption);
  Menu.SetCaption(frmMenu::mnuDownload, caption);
}

void frmMain::tmrDownload_Timer() {
  tmrDownload.SetEnabled(false);
  cmdStartDownload_Click();
}

void frmMain::cmdStartDownload_Click() {
  if (modMain::IsListEmpty()) {
    SetFlashVariable(L"_root.startDownload", L"1");
    Platform().ShowMessageBox(Hwnd(), L"Please add video URL's first.", L"Empty List",
                              MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  // The run state is the button's caption: a second start asks to stop.
  if (GetText(cmdStartDownload) == kStopCaption) {
    if (Platform().ShowMessageBox(Hwnd(), L"Are you sure that you want to cancel downloading?",
                                  kAppTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
      return;
    // The running transfer sees the request at its next progress notification.
    CancelRequested = true;
    SetRunCaptions(kStartCaption);
    SetFlashVariable(L"_root.downloadBtn", L"1");
    SetFlashVariable(L"_root.startDownload", L"1");
    SetFlashVariable(L"_root.downloadTab", L"1");
    return;
  }
  if (!IsConnected()) {
    Platform().ShowMessageBox(
        Hwnd(), L"You are not connected to the internet, Please connect first then try again",
        kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  SetText(cmdStartDownload, kStopCaption);
  Menu.SetCaption(frmMenu::mnuDownload, kStopCaption);
  SetFlashVariable(L"_root.downloadBtn", L"0");
  SetFlashVariable(L"_root.startDownload", L"0");
  SetFlashVariable(L"_root.downloadTab", L"0");

  StartDownloading();

  // A stop during the run has already put captions and variables back.
  if (CancelRequested) return;
  SetText(cmdStartDownload, kStartCaption);
  SetFlashVariable(L"_root.startDownload", L"1");
  SetFlashVariable(L"_root.downloadBtn", L"1");
  SetFlashVariable(L"_root.downloadTab", L"1");
  Menu.SetCaption(frmMenu::mnuDownload, kStartCaption);
}

void frmMain::StartDownloading() {
  if (CurrentTab == L"About") SetFlashVariable(L"_root.downloadBtnTab", L"1");
  // One level only; a folder that cannot be made shows up as failed transfers.
  if (!FolderExists(DownloadFolder)) CreateDirectoryA(ToAnsi(DownloadFolder).c_str(), nullptr);
  CancelRequested = false;
  IsDownloading = true;

  // The end is noted once; an item appended meanwhile is still reached
  // straight after an item that was transferred.
  const size_t count = modMain::DownloadList.size();
  for (size_t position = 0; count > 0 && position <= count - 1; ++position) {
    for (;;) {
      ItemOutcome outcome = DownloadItemAt(position);
      if (outcome == ItemOutcome::RunCancelled) {
        IsDownloading = false;
        return;
      }
      if (outcome == ItemOutcome::Transferred && position + 1 < modMain::DownloadList.size()) {
        ++position;
        continue;
      }
      break;
    }
  }
  IsDownloading = false;
}

frmMain::ItemOutcome frmMain::DownloadItemAt(size_t position) {
  // Positions that went while the run yielded are passed over.
  const DownloadItem* item = ItemAt(position);
  if (!item || item->Status == vocab::kComplete || item->Status == vocab::kError)
    return ItemOutcome::Skipped;
  CurrentIndex = static_cast<int16_t>(item->ID - 1);
  LocateCurrentRow();

  const std::wstring link = PrepareItem(CurrentIndex);
  modMain::FillDownloadList();
  const auto at = static_cast<size_t>(CurrentIndex);
  item = ItemAt(at);
  if (!item || item->Status == vocab::kError) return ItemOutcome::Skipped;

  // A name the server or the user gave may still name a device or only dots:
  // such a file would not land in the download folder.
  const std::wstring fileName = SafeFileName(item->FileName);
  if (fileName != item->FileName) modMain::UpdateItem(item->ID, L"", fileName, L"", L"");
  const std::wstring localFile = DownloadFolder + L"\\" + fileName;
  Download.SetUrl(link);
  Download.SetLocalFile(localFile);
  if (FileExists(localFile)) DeleteFileForced(localFile);

  LocateCurrentRow();
  Download.StartDownload();

  if (CancelRequested) {
    SetItemStatus(vocab::kCancelled);
    modMain::FillDownloadList();
    return ItemOutcome::RunCancelled;
  }
  item = ItemAt(at);
  if (item) {
    // A transfer counts as complete only when it ended with its data: a read
    // or write failure, an address that could not be opened, a server that
    // knew neither the file nor its size, or an error page in place of the
    // video all make the item "ERROR". An error page is not kept under the
    // video's name.
    const bool errorPage = Download.StatusCode() >= 400;
    const bool failed = item->FileSize.starts_with(L"-1") || TransferResult != L"1" || errorPage;
    if (errorPage && TransferResult == L"1") DeleteFileForced(localFile);
    SetItemStatus(failed ? vocab::kError : vocab::kComplete);
  }
  modMain::FillDownloadList();
  return ItemOutcome::Transferred;
}

void frmMain::SetItemStatus(const std::wstring& status) {
  modMain::UpdateItem(static_cast<int16_t>(CurrentIndex + 1), L"", L"", status, L"");
}

void frmMain::Download_DownloadComplete() {
  if (IsFetchingPage) SetItemStatus(vocab::kStartDownloading);
  TransferResult = L"1";
}

void frmMain::Download_DownloadError(std::wstring& sErrorDescription) {
  TransferResult = sErrorDescription;
}

void frmMain::Download_DownloadProgress(long& lProgress) {
  if (CancelRequested) Download.CancelDownload();
  std::wstring status;
  if (IsFetchingPage) {
    status = lProgress < 101 ? vocab::kPreparingOpen + std::to_wstring(lProgress) +
                                   vocab::kPreparingClose
                             : std::wstring(vocab::kPreparingMore);
  } else {
    const DownloadItem* item = ItemAt(static_cast<size_t>(CurrentIndex));
    // Without a known size the progress value is a byte count.
    status = item && item->FileSize == vocab::kSizeWithoutLength
                 ? FormatFileSize(static_cast<float>(lProgress)) + vocab::kSoFar
                 : std::to_wstring(lProgress);
  }
  SetItemStatus(status);
  // The running item's cell is written directly: one cell repaints, no rebuild.
  if (CurrentRow) CurrentRow->Cells(modMain::colStatus).SetValue(status);
  if (IsFetchingPage) modMain::FillDownloadList();
}

}  // namespace mf
