#include "downloadlist/QueueFile.h"

#include <algorithm>
#include <iterator>

#include <nlohmann/json.hpp>

#include "common/TextCodec.h"
#include "downloadlist/FileText.h"
#include "downloadlist/ItemTexts.h"

namespace mf {
namespace {

// Keeps the keys in the order written, so the file reads as the list does.
using Json = nlohmann::ordered_json;

// The texts every version keeps under these names.
struct Field {
  const char* name;
  std::wstring DownloadItem::*member;
};
constexpr Field kTexts[] = {
    {"Video_URL", &DownloadItem::Video_URL}, {"FileName", &DownloadItem::FileName},
    {"Reason", &DownloadItem::Reason},       {"PartFile", &DownloadItem::PartFile},
    {"PartETag", &DownloadItem::PartETag},   {"PartModified", &DownloadItem::PartModified},
};

// Names of the enums' values in the file; a value's place is its number.
constexpr const char* kStates[] = {"waiting",  "unsupported", "preparing", "prepared", "arriving",
                                   "retrying", "complete",    "failed",    "cancelled"};
constexpr const char* kFailures[] = {"none", "site unsupported", "no video", "no video on page"};
constexpr const char* kSizes[] = {"not asked", "length", "no length", "no file", "segments"};
static_assert(std::size(kSizes) == static_cast<size_t>(SizeKnown::Segments) + 1,
              "a name for every size kind");

constexpr wchar_t kEmpty[] = L"the file is empty";
constexpr wchar_t kDamaged[] = L"the file is damaged or is not a download list";
constexpr wchar_t kNewer[] = L"it was written by a newer version of Marrowfin";

bool TakeText(const Json& entry, const char* name, std::wstring& into) {
  auto at = entry.find(name);
  if (at == entry.end()) return true;
  if (!at->is_string()) return false;
  std::optional<std::wstring> text = FromUtf8Strict(at->get_ref<const std::string&>());
  if (text) into = std::move(*text);
  return text.has_value();
}

template <typename Enum, size_t N>
bool TakeEnum(const Json& entry, const char* name, const char* const (&names)[N], Enum& into) {
  auto at = entry.find(name);
  if (at == entry.end()) return true;
  for (size_t i = 0; i < N; ++i)
    if (*at == names[i]) into = static_cast<Enum>(i);
  return at->is_string() && *at == names[static_cast<size_t>(into)];
}

bool TakeNumber(const Json& entry, const char* name, int64_t& into) {
  auto at = entry.find(name);
  if (at == entry.end()) return true;
  if (!at->is_number_integer()) return false;
  into = at->get<int64_t>();
  return into >= -1;
}

// Version 1 kept the row's texts: the item is what they say.
bool TakeRowTexts(const Json& entry, DownloadItem& item) {
  std::wstring texts[4];
  const char* names[] = {"Video_URL", "FileName", "Status", "FileSize"};
  for (size_t i = 0; i < 4; ++i)
    if (!entry.contains(names[i]) || !TakeText(entry, names[i], texts[i])) return false;
  std::wstring length;
  if (!TakeText(entry, "PartLength", length)) return false;
  if (!length.empty()) item.PartLength = std::wcstoll(length.c_str(), nullptr, 10);
  ApplyAddressText(item, texts[0]);
  ApplyNameText(item, texts[1]);
  ApplySizeText(item, texts[3]);
  ApplyStatusText(item, texts[2]);
  return true;
}

std::optional<DownloadItem> ItemFromJson(const Json& entry, long long version) {
  if (!entry.is_object()) return std::nullopt;
  DownloadItem item;
  bool ok = std::all_of(std::begin(kTexts), std::end(kTexts), [&](const Field& field) {
    return (field.member == &DownloadItem::FileName && version == 1) ||
           TakeText(entry, field.name, item.*field.member);
  });
  if (version == 1) {
    ok = ok && TakeRowTexts(entry, item);
  } else {
    ok = ok && entry.contains("Video_URL") && TakeEnum(entry, "State", kStates, item.State) &&
         TakeEnum(entry, "Failure", kFailures, item.Failure) &&
         TakeEnum(entry, "Size", kSizes, item.Size) &&
         TakeNumber(entry, "FileLength", item.FileLength) &&
         TakeNumber(entry, "PartLength", item.PartLength);
  }
  if (!ok) return std::nullopt;
  item.State = StateAfterRestart(item.State);
  return item;
}

std::optional<DownloadItems> ItemsFromJson(const Json& list, long long version) {
  if (!list.is_array() || list.size() > kMaxItems) return std::nullopt;
  DownloadItems items;
  items.reserve(list.size());
  for (const Json& entry : list) {
    std::optional<DownloadItem> item = ItemFromJson(entry, version);
    if (!item) return std::nullopt;
    items.push_back(std::move(*item));
  }
  return items;
}

Json ItemToJson(const DownloadItem& item) {
  Json entry = Json::object();
  for (const Field& field : kTexts) entry[field.name] = ToUtf8(item.*field.member);
  entry["State"] = kStates[static_cast<size_t>(StateAfterRestart(item.State))];
  entry["Failure"] = kFailures[static_cast<size_t>(item.Failure)];
  entry["Size"] = kSizes[static_cast<size_t>(item.Size)];
  entry["FileLength"] = item.FileLength;
  entry["PartLength"] = item.PartLength;
  return entry;
}

}  // namespace

ItemState StateAfterRestart(ItemState state) {
  switch (state) {
    case ItemState::Waiting:
    case ItemState::Unsupported:
    case ItemState::Complete:
    case ItemState::Failed:
    case ItemState::Cancelled:
      return state;
    default:
      return ItemState::Waiting;
  }
}

std::string QueueToJson(const DownloadItems& items) {
  Json list = Json::array();
  for (const DownloadItem& item : items) list.push_back(ItemToJson(item));
  Json doc = {{"format", kQueueFormat}, {"version", kQueueVersion}, {"items", std::move(list)}};
  // ToUtf8 gives valid UTF-8 (lone surrogates become U+FFFD); replace, never throw.
  return doc.dump(1, '\t', false, nlohmann::detail::error_handler_t::replace) + "\n";
}

std::optional<DownloadItems> QueueFromJson(std::string_view text, std::wstring& why) {
  why = kDamaged;
  if (text.empty()) {
    why = kEmpty;
    return std::nullopt;
  }
  // No exceptions: a text that is not JSON comes back as a discarded value.
  const Json doc = Json::parse(text.begin(), text.end(), nullptr, false);
  if (!doc.is_object()) return std::nullopt;
  auto format = doc.find("format");
  if (format == doc.end() || *format != kQueueFormat) return std::nullopt;
  auto version = doc.find("version");
  if (version == doc.end() || !version->is_number_integer()) return std::nullopt;
  const long long number = version->get<long long>();
  if (number < 1 || number > kQueueVersion) {
    if (number > kQueueVersion) why = kNewer;
    return std::nullopt;
  }
  auto items = doc.find("items");
  if (items == doc.end()) return std::nullopt;
  std::optional<DownloadItems> result = ItemsFromJson(*items, number);
  if (result) why.clear();
  return result;
}

void SettleRestoredItem(DownloadItem& item, const std::wstring& folder,
                        std::set<std::wstring>& claimed) {
  const bool placeholder = item.FileName.empty();
  if (!placeholder) item.FileName = SafeFileName(CleanFileName(item.FileName, L""));
  const std::wstring own = folder + L"\\" + item.FileName + kPartSuffix;
  if (item.PartFile.empty()) return;
  if (placeholder || item.PartFile != own || !claimed.insert(own).second) {
    item.PartFile.clear();
    item.PartETag.clear();
    item.PartModified.clear();
    item.PartLength = -1;
  }
}

}  // namespace mf
