#include "downloadlist/DownloadList.h"

#include <windows.h>

#include <new>

#include "common/AppError.h"

namespace mf {
namespace {

constexpr long kErrObjectNotSet = 91;
constexpr long kErrGridRefused = static_cast<long>(0xA0040202);

std::wstring Fit(const std::wstring& text, size_t width) {
  return text.size() <= width ? text : text.substr(0, width);
}

}  // namespace

RowTexts DownloadList::TextsOf(const DownloadItem& item) const {
  RowTexts texts = texts_ ? texts_->TextsOf(item) : RowTexts{item.Video_URL, item.FileName};
  // A longer name or status than the column holds is shown cut.
  return {Fit(texts.address, kShownUrlLength), Fit(texts.name, 100), Fit(texts.status, 120),
          Fit(texts.size, 10)};
}

// Copies the list into a new table.
void DownloadList::BuildTable(table::Table& t) {
  for (const DownloadItem& item : items_) {
    const RowTexts texts = TextsOf(item);
    size_t row = t.AddNew();
    t.SetValue(row, colID, static_cast<int32_t>(item.ID));
    t.SetValue(row, colVideoURL, texts.address);
    t.SetValue(row, colFileName, texts.name);
    t.SetValue(row, colStatus, texts.status);
    t.SetValue(row, colFileSize, texts.size);
  }
}

bool DownloadList::AddItem(const std::wstring& videoUrl, const std::wstring& fileName,
                           const std::wstring& status, const std::wstring& fileSize) {
  if (FindAddress(videoUrl)) return true;  // a repeat is not an error
  if (items_.size() >= kMaxItems) return false;
  try {
    DownloadItem item;
    item.Key = ++lastKey_;
    item.ID = static_cast<int16_t>(items_.size() + 1);
    item.Video_URL = videoUrl;
    ApplyNameText(item, fileName);
    ApplySizeText(item, fileSize);
    ApplyStatusText(item, status);
    items_.push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    return false;
  }
  Changed();
  return true;
}

void DownloadList::RestoreItems(DownloadItems items) {
  if (items.size() > kMaxItems) items.resize(kMaxItems);
  items_ = std::move(items);
  for (size_t i = 0; i < items_.size(); ++i) {
    items_[i].Key = ++lastKey_;
    items_[i].ID = static_cast<int16_t>(i + 1);
  }
  Changed();
}

std::optional<size_t> DownloadList::Find(uint32_t key) const noexcept {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].Key == key) return i;
  return std::nullopt;
}

std::optional<size_t> DownloadList::FindAddress(const std::wstring& videoUrl) const noexcept {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].Video_URL == videoUrl) return i;
  return std::nullopt;
}

DownloadItem* DownloadList::ByKey(uint32_t key) noexcept {
  Changed();
  std::optional<size_t> at = Find(key);
  return at ? &items_[*at] : nullptr;
}

bool DownloadList::UpdateItem(int16_t id, const std::wstring& videoUrl,
                              const std::wstring& fileName, const std::wstring& status,
                              const std::wstring& fileSize) {
  if (id < 1 || static_cast<size_t>(id) > items_.size()) return true;
  DownloadItem& item = items_[static_cast<size_t>(id) - 1];
  ApplyAddressText(item, videoUrl);
  ApplyNameText(item, fileName);
  ApplySizeText(item, fileSize);
  ApplyStatusText(item, status);
  Changed();
  return true;
}

bool DownloadList::RemoveItem(int16_t id) {
  if (items_.empty()) return false;
  // Survivors keep their order and are renumbered 1..n. They are kept even
  // when two carry the same address text (failed items share one text).
  std::erase_if(items_, [id](const DownloadItem& item) { return item.ID == id; });
  for (size_t i = 0; i < items_.size(); ++i) items_[i].ID = static_cast<int16_t>(i + 1);
  Changed();
  return true;
}

void DownloadList::MoveItemUp(int16_t id) {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].ID != id) continue;
    if (i == 0) return;
    std::swap(items_[i], items_[i - 1]);
    items_[i - 1].ID = static_cast<int16_t>(i);
    items_[i].ID = static_cast<int16_t>(i + 1);
    Changed();
    return;
  }
}

void DownloadList::MoveItemDown(int16_t id) {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].ID != id) continue;
    if (i + 1 >= items_.size()) return;
    std::swap(items_[i], items_[i + 1]);
    items_[i].ID = static_cast<int16_t>(i + 1);
    items_[i + 1].ID = static_cast<int16_t>(i + 2);
    Changed();
    return;
  }
}

std::shared_ptr<table::Table> DownloadList::NewListRecordset() {
  using table::ColumnType;
  return std::make_shared<table::Table>(std::vector<table::Column>{
      {L"ID", ColumnType::Integer, 0},
      {L"Video_URL", ColumnType::VarChar, 220},
      {L"FileName", ColumnType::VarChar, 100},
      {L"Status", ColumnType::VarChar, 120},
      {L"FileSize", ColumnType::VarChar, 10},
  });
}

bool DownloadList::FillDownloadList() {
  // The grid's own handlers may ask again while one is being bound.
  if (filling_) return false;
  if (items_.empty()) {
    Unbind();
    return false;
  }
  filling_ = true;
  try {
    recordset_.reset();
    recordset_ = NewListRecordset();
    BuildTable(*recordset_);
    recordset_->MoveFirst();
  } catch (const AppError& e) {
    filling_ = false;
    ReportFillError(e.Number(), e.Description());
    return false;
  } catch (const std::bad_alloc&) {
    filling_ = false;
    ReportFillError(7, L"Out of memory");
    return false;
  }
  if (grid_) {
    try {
      grid_->FormatDownloadGrid(false);
    } catch (...) {
      // Binding failures after a complete build are ignored on purpose.
    }
  }
  filling_ = false;
  return true;
}

void DownloadList::ReportFillError(long number, const std::wstring& description) {
  if (number == kErrObjectNotSet || number == kErrGridRefused) return;
  if (grid_) grid_->FillFailed(number, description);
}

void DownloadList::Unbind() {
  if (grid_) grid_->UnbindListTable();
}

}  // namespace mf
