#include "downloadlist/modMain.h"

#include <windows.h>

#include <new>

#include "common/AppError.h"
#include "common/AppInfo.h"
#include "common/DoEvents.h"
#include "common/Platform.h"
#include "downloadlist/Vocabulary.h"

namespace mf::modMain {
namespace {

// A rebuild was asked for while one ran and was refused; the running one
// then builds again so the grid never keeps rows that no longer match the list.
bool g_rebuildRefused = false;

constexpr long kErrObjectNotSet = 91;
constexpr long kErrGridRefused = static_cast<long>(0xA0040202);

void YieldSevenTimes(ThrottledYield& yield) {
  for (int i = 0; i < 7; ++i) yield();
}

std::wstring Fit(const std::wstring& text, size_t width) {
  return text.size() <= width ? text : text.substr(0, width);
}

// Copies the list into a new table, reading each position as it is reached.
void BuildTable(table::Table& t) {
  ThrottledYield yield;
  for (size_t i = 0; i < DownloadList.size(); ++i) {
    YieldSevenTimes(yield);
    if (i >= DownloadList.size()) break;  // a command removed items meanwhile
    const DownloadItem item = DownloadList[i];
    size_t row = t.AddNew();
    t.SetValue(row, colID, static_cast<int32_t>(item.ID));
    t.SetValue(row, colVideoURL, Fit(item.Video_URL, kShownUrlLength));
    // A longer name or status than the column holds is shown cut; the item
    // keeps its whole text.
    t.SetValue(row, colFileName, Fit(item.FileName, 100));
    t.SetValue(row, colStatus, Fit(item.Status, 120));
    t.SetValue(row, colFileSize, Fit(item.FileSize, 10));
    YieldSevenTimes(yield);
  }
}

void ReportFillError(long number, const std::wstring& description) {
  if (number == kErrObjectNotSet || number == kErrGridRefused) return;
  Platform().ShowMessageBox(nullptr,
                            L"An error occured while filling the Download list\r" +
                                std::to_wstring(number) + L":" + description,
                            kAppTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

bool IsListEmpty() { return DownloadList.empty(); }

bool AddItem(const std::wstring& videoUrl, const std::wstring& fileName,
             const std::wstring& status, const std::wstring& fileSize) {
  for (const DownloadItem& item : DownloadList)
    if (item.Video_URL == videoUrl) return true;  // a repeat is not an error
  if (DownloadList.size() >= kMaxItems) return false;
  try {
    DownloadItem item;
    item.ID = static_cast<int16_t>(DownloadList.size() + 1);
    item.Video_URL = videoUrl;
    item.FileName = fileName;
    item.Status = status.empty() ? vocab::kWaiting : status;
    item.FileSize = fileSize.empty() ? vocab::kUnknownSize : fileSize;
    DownloadList.push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool UpdateItem(int16_t id, const std::wstring& videoUrl, const std::wstring& fileName,
                const std::wstring& status, const std::wstring& fileSize) {
  if (id < 1 || static_cast<size_t>(id) > DownloadList.size()) return true;
  DownloadItem& item = DownloadList[static_cast<size_t>(id) - 1];
  if (!videoUrl.empty()) item.Video_URL = videoUrl;
  if (!fileName.empty()) item.FileName = fileName;
  if (!status.empty()) item.Status = status;
  if (!fileSize.empty()) item.FileSize = fileSize;
  return true;
}

bool RemoveItem(int16_t id) {
  if (DownloadList.empty()) return false;
  // Survivors keep their order and are renumbered 1..n. They are kept even
  // when two carry the same address text (failed items share one text).
  std::erase_if(DownloadList, [id](const DownloadItem& item) { return item.ID == id; });
  for (size_t i = 0; i < DownloadList.size(); ++i)
    DownloadList[i].ID = static_cast<int16_t>(i + 1);
  return true;
}

void MoveItemUp(int16_t id) {
  for (size_t i = 0; i < DownloadList.size(); ++i) {
    if (DownloadList[i].ID != id) continue;
    if (i == 0) return;
    std::swap(DownloadList[i], DownloadList[i - 1]);
    DownloadList[i - 1].ID = static_cast<int16_t>(i);
    DownloadList[i].ID = static_cast<int16_t>(i + 1);
    return;
  }
}

void MoveItemDown(int16_t id) {
  for (size_t i = 0; i < DownloadList.size(); ++i) {
    if (DownloadList[i].ID != id) continue;
    if (i + 1 >= DownloadList.size()) return;
    std::swap(DownloadList[i], DownloadList[i + 1]);
    DownloadList[i].ID = static_cast<int16_t>(i + 1);
    DownloadList[i + 1].ID = static_cast<int16_t>(i + 2);
    return;
  }
}

std::shared_ptr<table::Table> NewListRecordset() {
  using table::ColumnType;
  return std::make_shared<table::Table>(std::vector<table::Column>{
      {L"ID", ColumnType::Integer, 0},
      {L"Video_URL", ColumnType::VarChar, 220},
      {L"FileName", ColumnType::VarChar, 100},
      {L"Status", ColumnType::VarChar, 120},
      {L"FileSize", ColumnType::VarChar, 10},
  });
}

bool FillDownloadList() {
  if (IsFilling) {
    g_rebuildRefused = true;
    return false;
  }
  if (DownloadList.empty()) {
    if (ListGrid) ListGrid->UnbindListTable();
    return false;
  }
  IsFilling = true;
  try {
    do {
      g_rebuildRefused = false;
      ListRecordset.reset();
      ListRecordset = NewListRecordset();
      BuildTable(*ListRecordset);
    } while (g_rebuildRefused && !DownloadList.empty());
    ListRecordset->MoveFirst();
  } catch (const AppError& e) {
    IsFilling = false;
    ReportFillError(e.Number(), e.Description());
    return false;
  } catch (const std::bad_alloc&) {
    IsFilling = false;
    ReportFillError(7, L"Out of memory");
    return false;
  }
  if (DownloadList.empty()) {
    // Every item went while the table was being built.
    if (ListGrid) ListGrid->UnbindListTable();
    IsFilling = false;
    return false;
  }
  if (ListGrid) {
    try {
      ListGrid->FormatDownloadGrid(false);
    } catch (...) {
      // Binding failures after a complete build are ignored on purpose.
    }
  }
  IsFilling = false;
  return true;
}

void Reset() {
  DownloadList.clear();
  ListRecordset.reset();
  IsFilling = false;
  g_rebuildRefused = false;
}

}  // namespace mf::modMain
