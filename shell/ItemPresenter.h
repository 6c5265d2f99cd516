#pragma once
// The design's texts of an item, made from what the program knows of it: the
// address, name, status and size its row shows, and the name the user reads
// it by elsewhere (notices, the tray's tooltip).
#include <string>

#include "downloadlist/ItemTexts.h"

namespace mf {

class ItemPresenter final : public IItemTexts {
 public:
  RowTexts TextsOf(const DownloadItem& item) const override;
  static std::wstring AddressText(const DownloadItem& item);
  static std::wstring NameText(const DownloadItem& item);
  static std::wstring StatusText(const DownloadItem& item);
  static std::wstring SizeText(const DownloadItem& item);
  // The file's name, else its page's address.
  static std::wstring ShownName(const DownloadItem& item);
};

}  // namespace mf
