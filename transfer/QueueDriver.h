#pragma once
// The queue driver: works through the Download list one item at a time,
// resolving each item's page, naming its file and transferring it with the
// one download control; and the start/stop toggle that every start and stop
// request ends in. It creates no window; it reaches the window through
// IQueueHost.
#include <cstdint>
#include <string>

#include "downloadlist/DownloadList.h"
#include "resolver/LinkResolver.h"
#include "transfer/Download.h"
#include "transfer/LocalFileInfo.h"
#include "transfer/QueueHost.h"

namespace mf {

class QueueDriver : private IDownloadEvents, private IResolverHost {
 public:
  QueueDriver(DownloadList& list, IQueueHost& host);
  QueueDriver(const QueueDriver&) = delete;
  QueueDriver& operator=(const QueueDriver&) = delete;

  // The start/stop toggle (the start button's click).
  void cmdStartDownload_Click();
  // Works through the Download list; returns when the run is over.
  void StartDownloading();
  bool IsConnected();

  // The resolved link, or "-1" when there is none.
  std::wstring PrepareItem(int16_t position);
  // Asks the server about the resolved file link and derives the local file
  // name and the size text; `siteId` is the site of the item's page address.
  LocalFileInfo GetLocalFileInfo(const std::wstring& sLink, int16_t siteId);

  // Handlers of the download control's notifications.
  void Download_DownloadComplete();
  void Download_DownloadProgress(long& lProgress);
  void Download_DownloadError(std::wstring& sErrorDescription);

  bool IsDownloading = false;
  bool CancelRequested = false;
  int16_t CurrentIndex = 0;  // position of the item being worked on
  // "" before a page fetch; "1" once a transfer completed, else its error text.
  std::wstring TransferResult;
  bool IsFetchingPage = false;  // the running transfer fetches a page

  // The one download control, which fetches pages and files.
  mf::Download Download;
  LinkResolver Resolver{*this};

 private:
  enum class ItemOutcome { Skipped, Transferred, RunCancelled };
  ItemOutcome DownloadItemAt(size_t position);
  void SetRunCaptions(const wchar_t* caption);
  void SetItemStatus(const std::wstring& status);

  // IDownloadEvents
  void DownloadComplete() override { Download_DownloadComplete(); }
  void DownloadProgress(long& p) override { Download_DownloadProgress(p); }
  void DownloadError(std::wstring& s) override { Download_DownloadError(s); }
  // IResolverHost: the page goes through the same control and handlers.
  bool FetchPage(const std::wstring& address, const std::wstring& file) override;
  HWND OwnerWindow() override { return host_.OwnerWindow(); }

  DownloadList& list_;
  IQueueHost& host_;
};

}  // namespace mf
