#pragma once
// An item's row as texts, and those texts read back into an item. The
// program's presenter makes the texts (IItemTexts); the list reads the
// design's texts where they come in: from an old list file, and from the
// list's operations that take them (AddItem, UpdateItem).
#include <string>

#include "downloadlist/DownloadItem.h"

namespace mf {

struct RowTexts {
  std::wstring address, name, status, size;
};

class IItemTexts {
 public:
  virtual ~IItemTexts() = default;
  virtual RowTexts TextsOf(const DownloadItem& item) const = 0;
};

// Each sets what its text says of the item; an empty text changes nothing.
// A status the list does not know leaves the item waiting. A percentage is
// of the length the item knows, so the size goes first.
void ApplyAddressText(DownloadItem& item, const std::wstring& address);
void ApplyNameText(DownloadItem& item, const std::wstring& name);
void ApplyStatusText(DownloadItem& item, const std::wstring& status);
void ApplySizeText(DownloadItem& item, const std::wstring& size);

}  // namespace mf
