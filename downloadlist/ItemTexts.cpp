#include "downloadlist/ItemTexts.h"

#include <cmath>
#include <cwchar>

#include "downloadlist/Vocabulary.h"
#include "resolver/HtmlVideoPage.h"

namespace mf {
namespace {

// The number at the start of `text` and where it ended; none when there is none.
bool LeadingNumber(const std::wstring& text, double& value, std::wstring& rest) {
  std::wstring number = text;
  for (wchar_t& c : number)
    if (c == L',') c = L'.';  // the user's decimal separator
  wchar_t* end = nullptr;
  value = std::wcstod(number.c_str(), &end);
  if (end == number.c_str()) return false;
  rest = text.substr(static_cast<size_t>(end - number.c_str()));
  return true;
}

// "12 MB" in bytes; -1 when it is no size text.
int64_t BytesOf(const std::wstring& text) {
  double value = 0;
  std::wstring unit;
  if (!LeadingNumber(text, value, unit)) return -1;
  const std::pair<const wchar_t*, double> units[] = {
      {L" Bytes", 1}, {L" KB", 1024.0}, {L" MB", 1048576.0}, {L" GB", 1073741824.0}};
  for (const auto& [name, factor] : units)
    if (unit == name) return static_cast<int64_t>(std::llround(value * factor));
  return -1;
}

bool StartsWith(const std::wstring& text, const wchar_t* start) {
  return text.rfind(start, 0) == 0;
}

}  // namespace

void ApplyAddressText(DownloadItem& item, const std::wstring& address) {
  if (address.empty()) return;
  item.Video_URL = address;
  if (address == vocab::kInappropriate) item.Failure = ItemFailure::NoVideo;
}

void ApplyNameText(DownloadItem& item, const std::wstring& name) {
  if (name.empty()) return;
  item.FileName.clear();
  if (name == vocab::kUnsupportedLink)
    item.Failure = ItemFailure::SiteUnsupported;
  else if (name == vocab::kProcessFailed)
    item.Failure = ItemFailure::NoVideo;
  else if (name == kNoVideoFound)
    item.Failure = ItemFailure::NoVideoOnPage;
  else if (name != vocab::kAutoDetect && name != vocab::kNameError)
    item.FileName = name;
}

void ApplyStatusText(DownloadItem& item, const std::wstring& status) {
  if (status.empty()) return;
  const std::pair<const wchar_t*, ItemState> settled[] = {
      {vocab::kWaiting, ItemState::Waiting},
      {vocab::kLinkNotSupported, ItemState::Unsupported},
      {vocab::kComplete, ItemState::Complete},
      {vocab::kCancelled, ItemState::Cancelled},
      {vocab::kStartDownloading, ItemState::Prepared},
      {vocab::kPreparingMore, ItemState::Preparing}};
  item.State = ItemState::Waiting;
  item.Progress = status == vocab::kPreparingMore ? -1 : 0;
  for (const auto& [text, state] : settled)
    if (status == text) item.State = state;
  if (StartsWith(status, vocab::kError)) {
    item.State = ItemState::Failed;  // "ERROR", or "ERROR: why"
    const size_t why = status.find_first_not_of(L": ", std::wcslen(vocab::kError));
    if (why != std::wstring::npos) item.Reason = status.substr(why);
  }
  double value = 0;
  std::wstring rest;
  if (StartsWith(status, vocab::kPreparingOpen) &&
      LeadingNumber(status.substr(std::wcslen(vocab::kPreparingOpen)), value, rest)) {
    item.State = ItemState::Preparing;
    item.Progress = static_cast<int>(value);
  } else if (StartsWith(status, vocab::kRetryingOpen) &&
             LeadingNumber(status.substr(std::wcslen(vocab::kRetryingOpen)), value, rest)) {
    item.State = ItemState::Retrying;
    item.Progress = static_cast<int>(value);
  } else if (status.ends_with(vocab::kSoFar)) {
    item.State = ItemState::Arriving;  // bytes so far of a file without a length
    item.Received = BytesOf(status.substr(0, status.size() - std::wcslen(vocab::kSoFar)));
  } else if (LeadingNumber(status, value, rest) && rest.empty()) {
    item.State = ItemState::Arriving;  // a percentage of the length the item knows
    const bool length = item.Size == SizeKnown::Length && item.FileLength > 0;
    item.Received =
        std::llround(length ? value / 100.0 * static_cast<double>(item.FileLength) : value);
  }
}

void ApplySizeText(DownloadItem& item, const std::wstring& size) {
  if (size.empty()) return;
  item.FileLength = -1;
  if (size == vocab::kUnknownSize) {
    item.Size = SizeKnown::NotAsked;
  } else if (size == vocab::kSizeWithoutLength) {
    item.Size = SizeKnown::NoLength;
  } else if (size == vocab::kSizeWithoutFile) {
    item.Size = SizeKnown::NoFile;
  } else {
    item.FileLength = BytesOf(size);
    item.Size = item.FileLength >= 0 ? SizeKnown::Length : SizeKnown::NotAsked;
  }
}

}  // namespace mf
