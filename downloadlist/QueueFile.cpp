#include "downloadlist/QueueFile.h"

#include <algorithm>
#include <iterator>

#include <nlohmann/json.hpp>

#include "common/TextCodec.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"

namespace mf {
namespace {

// Keeps the keys in the order written, so the file reads as the list does.
using Json = nlohmann::ordered_json;

// An item's fields under the names they have in the file.
struct Field {
  const char* name;
  std::wstring DownloadItem::*member;
  bool required;
};
constexpr Field kFields[] = {
    {"Video_URL", &DownloadItem::Video_URL, true},
    {"FileName", &DownloadItem::FileName, true},
    {"Status", &DownloadItem::Status, true},
    {"FileSize", &DownloadItem::FileSize, true},
    {"PartFile", &DownloadItem::PartFile, false},
    {"PartETag", &DownloadItem::PartETag, false},
    {"PartModified", &DownloadItem::PartModified, false},
    {"PartLength", &DownloadItem::PartLength, false},
};

constexpr const wchar_t* kSettled[] = {vocab::kWaiting, vocab::kComplete, vocab::kCancelled,
                                       vocab::kLinkNotSupported};

// File names the list writes itself; they name no file.
constexpr const wchar_t* kPlaceholders[] = {vocab::kAutoDetect, vocab::kNameError,
                                            vocab::kUnsupportedLink, vocab::kProcessFailed,
                                            vocab::kEnterFileName};

constexpr wchar_t kEmpty[] = L"the file is empty";
constexpr wchar_t kDamaged[] = L"the file is damaged or is not a download list";
constexpr wchar_t kNewer[] = L"it was written by a newer version of Marrowfin";

std::optional<DownloadItem> ItemFromJson(const Json& entry) {
  if (!entry.is_object()) return std::nullopt;
  DownloadItem item;
  for (const Field& field : kFields) {
    auto at = entry.find(field.name);
    if (at == entry.end()) {
      if (field.required) return std::nullopt;
      continue;
    }
    if (!at->is_string()) return std::nullopt;
    std::optional<std::wstring> text = FromUtf8Strict(at->get_ref<const std::string&>());
    if (!text) return std::nullopt;
    item.*field.member = std::move(*text);
  }
  item.Status = StatusAfterRestart(item.Status);
  return item;
}

std::optional<DownloadItems> ItemsFromJson(const Json& list) {
  if (!list.is_array() || list.size() > kMaxItems) return std::nullopt;
  DownloadItems items;
  items.reserve(list.size());
  for (const Json& entry : list) {
    std::optional<DownloadItem> item = ItemFromJson(entry);
    if (!item) return std::nullopt;
    items.push_back(std::move(*item));
  }
  return items;
}

}  // namespace

std::wstring StatusAfterRestart(const std::wstring& status) {
  if (status.starts_with(vocab::kError)) return status;  // with or without its reason
  for (const wchar_t* settled : kSettled)
    if (status == settled) return status;
  return vocab::kWaiting;
}

std::string QueueToJson(const DownloadItems& items) {
  Json list = Json::array();
  for (const DownloadItem& item : items) {
    Json entry = Json::object();
    for (const Field& field : kFields) entry[field.name] = ToUtf8(item.*field.member);
    entry["Status"] = ToUtf8(StatusAfterRestart(item.Status));
    list.push_back(std::move(entry));
  }
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
  if (version->get<long long>() != kQueueVersion) {
    if (version->get<long long>() > kQueueVersion) why = kNewer;
    return std::nullopt;
  }
  auto items = doc.find("items");
  if (items == doc.end()) return std::nullopt;
  std::optional<DownloadItems> result = ItemsFromJson(*items);
  if (result) why.clear();
  return result;
}

void SettleRestoredItem(DownloadItem& item, const std::wstring& folder,
                        std::set<std::wstring>& claimed) {
  const bool placeholder = std::find_if(std::begin(kPlaceholders), std::end(kPlaceholders),
                                        [&](const wchar_t* p) { return item.FileName == p; }) !=
                           std::end(kPlaceholders);
  if (!placeholder) item.FileName = SafeFileName(CleanFileName(item.FileName, L""));
  const std::wstring own = folder + L"\\" + item.FileName + kPartSuffix;
  if (item.PartFile.empty()) return;
  if (placeholder || item.PartFile != own || !claimed.insert(own).second) {
    item.PartFile.clear();
    item.PartETag.clear();
    item.PartModified.clear();
    item.PartLength.clear();
  }
}

}  // namespace mf
