#include "shell/ItemPresenter.h"

#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "resolver/HtmlVideoPage.h"
#include "transfer/Progress.h"
#include "transfer/QueueDriver.h"

namespace mf {

RowTexts ItemPresenter::TextsOf(const DownloadItem& item) const {
  return {AddressText(item), NameText(item), StatusText(item), SizeText(item)};
}

// A page of the five old sites without its video shows these words in place
// of its address, as it always has; the item keeps the address.
std::wstring ItemPresenter::AddressText(const DownloadItem& item) {
  return item.Failure == ItemFailure::NoVideo ? vocab::kInappropriate : item.Video_URL;
}

std::wstring ItemPresenter::NameText(const DownloadItem& item) {
  if (item.State == ItemState::Unsupported) return vocab::kNameError;
  switch (item.Failure) {
    case ItemFailure::SiteUnsupported:
      return vocab::kUnsupportedLink;
    case ItemFailure::NoVideo:
      return vocab::kProcessFailed;
    case ItemFailure::NoVideoOnPage:
      return kNoVideoFound;
    case ItemFailure::None:
      break;
  }
  return item.FileName.empty() ? std::wstring(vocab::kAutoDetect) : item.FileName;
}

std::wstring ItemPresenter::StatusText(const DownloadItem& item) {
  switch (item.State) {
    case ItemState::Waiting:
      return vocab::kWaiting;
    case ItemState::Unsupported:
      return vocab::kLinkNotSupported;
    case ItemState::Preparing:
      return item.Progress < 0
                 ? std::wstring(vocab::kPreparingMore)
                 : vocab::kPreparingOpen + std::to_wstring(item.Progress) + vocab::kPreparingClose;
    case ItemState::Prepared:
      return vocab::kStartDownloading;
    case ItemState::Arriving:
      // Without a known length, the bytes so far; else a percentage, which
      // the grid draws as a bar.
      if (item.Size == SizeKnown::Segments) return std::to_wstring(item.Progress);
      if (item.Size != SizeKnown::Length)
        return FormatFileSize(static_cast<float>(item.Received)) + vocab::kSoFar;
      return std::to_wstring(ProgressValue(item.Received, static_cast<float>(item.FileLength)));
    case ItemState::Retrying:
      return vocab::kRetryingOpen + std::to_wstring(item.Progress) + L" of " +
             std::to_wstring(QueueDriver::kRetries) + L")...";
    case ItemState::Complete:
      return vocab::kComplete;
    case ItemState::Failed:
      return vocab::kError;
    case ItemState::Cancelled:
      return vocab::kCancelled;
  }
  return {};
}

std::wstring ItemPresenter::SizeText(const DownloadItem& item) {
  switch (item.Size) {
    case SizeKnown::NotAsked:
      return vocab::kUnknownSize;
    case SizeKnown::NoLength:
    case SizeKnown::Segments:
      return vocab::kSizeWithoutLength;
    case SizeKnown::NoFile:
      return vocab::kSizeWithoutFile;
    case SizeKnown::Length:
      break;
  }
  return FormatFileSize(static_cast<float>(item.FileLength));
}

std::wstring ItemPresenter::ShownName(const DownloadItem& item) {
  return item.FileName.empty() ? item.Video_URL : item.FileName;
}

}  // namespace mf
