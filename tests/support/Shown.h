#pragma once
// An item as the user reads it: the texts its row shows.
#include <string>

#include "shell/ItemPresenter.h"
#include "transfer/LocalFileInfo.h"

namespace mf {

inline std::wstring AddressText(const DownloadItem& item) {
  return ItemPresenter::AddressText(item);
}
inline std::wstring NameText(const DownloadItem& item) { return ItemPresenter::NameText(item); }
inline std::wstring StatusText(const DownloadItem& item) { return ItemPresenter::StatusText(item); }
inline std::wstring SizeText(const DownloadItem& item) { return ItemPresenter::SizeText(item); }
inline std::wstring SizeText(const LocalFileInfo& info) {
  DownloadItem item;
  item.Size = info.Size;
  item.FileLength = info.FileLength;
  return ItemPresenter::SizeText(item);
}

}  // namespace mf
