#pragma once
// The Download list as the text of its file: JSON in UTF-8 with a format name
// and version, the items in their order.
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "downloadlist/DownloadItem.h"

namespace mf {

inline constexpr char kQueueFormat[] = "Marrowfin download list";
// Version 2 keeps what the program knows of an item; version 1 kept its
// row's texts, and is still read.
inline constexpr int kQueueVersion = 2;

// Where an item stands once the program has ended and started again. The
// states an item is left in stay; any other is a step of a run, which ended
// with the program: the item waits again and keeps its partial file, so the
// next run takes it up.
ItemState StateAfterRestart(ItemState state);

// The file's text for these items. States are written as they will come
// back, so a run's progress steps leave the text as it is.
std::string QueueToJson(const DownloadItems& items);

// The items of a file's text, in order, with StateAfterRestart applied.
// Nothing when the text is no list this version reads; `why` then says what
// is wrong, in words for the user.
std::optional<DownloadItems> QueueFromJson(std::string_view text, std::wstring& why);

// An item read back from the list's file, made safe to act on: its file name
// through the one name cleaner, and its
// partial file kept only when it is exactly "<folder>\<name>.part" and no
// item before it (in `claimed`) holds that file.
void SettleRestoredItem(DownloadItem& item, const std::wstring& folder,
                        std::set<std::wstring>& claimed);

}  // namespace mf
