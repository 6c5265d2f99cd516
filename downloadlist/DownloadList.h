#pragma once
// The Download list: an ordered sequence of items, the single source of
// truth, and the rebuild of the table the grid shows. The program owns one
// for its whole life; tests make their own.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "controls/table/Table.h"
#include "downloadlist/DownloadItem.h"
#include "downloadlist/ItemTexts.h"

namespace mf {

// What the rebuild needs of the window that shows the list.
class IListGrid {
 public:
  virtual ~IListGrid() = default;
  // The grid shows no table any more (its data source is none).
  virtual void UnbindListTable() = 0;
  // Binds the list's ListRecordset to the grid, laying the grid out when needed.
  virtual bool FormatDownloadGrid(bool initial) = 0;
  // The table could not be built: the error's number and description.
  virtual void FillFailed(long number, const std::wstring& description) = 0;
};

// Told whenever the items may have changed: after every operation of the list
// and on every writable access to an item, which a write may follow. It must
// be cheap and must not change the list.
class IListObserver {
 public:
  virtual ~IListObserver() = default;
  virtual void ListChanged() noexcept = 0;
};

class DownloadList {
 public:
  // Column positions, which the grid commands rely on.
  enum Column : size_t {
    colID = 0,
    colVideoURL = 1,
    colFileName = 2,
    colStatus = 3,
    colFileSize = 4
  };
  // Addresses longer than this are cut in the grid; the item keeps them whole.
  static constexpr size_t kShownUrlLength = 219;

  DownloadList() = default;
  DownloadList(const DownloadList&) = delete;
  DownloadList& operator=(const DownloadList&) = delete;

  // The grid that shows the list; none (a list without a window) until set.
  void SetGrid(IListGrid* grid) noexcept { grid_ = grid; }
  // The one observer of the list's changes; none until set.
  void SetObserver(IListObserver* observer) noexcept { observer_ = observer; }

  // The items in their order; position p holds ID p + 1.
  const DownloadItems& Items() const noexcept { return items_; }
  size_t Count() const noexcept { return items_.size(); }
  // The item at a position, or none when the position is gone.
  const DownloadItem* At(size_t position) const noexcept {
    return position < items_.size() ? &items_[position] : nullptr;
  }
  // Writes go to the fields; the ID and the key stay the list's.
  DownloadItem* At(size_t position) noexcept {
    Changed();
    return position < items_.size() ? &items_[position] : nullptr;
  }
  // The position of the item with this key, or of the item with this page
  // address; none when there is no such item.
  std::optional<size_t> Find(uint32_t key) const noexcept;
  std::optional<size_t> FindAddress(const std::wstring& videoUrl) const noexcept;
  DownloadItem* ByKey(uint32_t key) noexcept;
  // The table the grid is bound to; each rebuild replaces it.
  const std::shared_ptr<table::Table>& ListRecordset() const noexcept { return recordset_; }
  // True while FillDownloadList runs.
  bool IsFilling() const noexcept { return filling_; }

  bool IsListEmpty() const noexcept { return items_.empty(); }
  // The design's operations, with the texts a row shows: each text says
  // what it always said of the item (an empty one changes nothing).
  bool AddItem(const std::wstring& videoUrl, const std::wstring& fileName,
               const std::wstring& status, const std::wstring& fileSize);
  bool UpdateItem(int16_t id, const std::wstring& videoUrl, const std::wstring& fileName,
                  const std::wstring& status, const std::wstring& fileSize);
  bool RemoveItem(int16_t id);
  void MoveItemUp(int16_t id);
  void MoveItemDown(int16_t id);
  bool FillDownloadList();
  // Replaces the items with these, in their order, as new items of this list
  // (new keys and IDs; every other field kept, the partial file too). Start-up
  // only: at most kMaxItems are taken.
  void RestoreItems(DownloadItems items);

  // What an item's row shows, cut to the columns' widths.
  RowTexts TextsOf(const DownloadItem& item) const;
  // Who makes the rows' texts (the program's presenter); none until set.
  void SetTexts(const IItemTexts* texts) noexcept { texts_ = texts; }

  // A new, empty table with the five columns in their order.
  static std::shared_ptr<table::Table> NewListRecordset();

 private:
  void BuildTable(table::Table& t);
  void Unbind();
  void ReportFillError(long number, const std::wstring& description);
  void Changed() const noexcept {
    if (observer_) observer_->ListChanged();
  }

  DownloadItems items_;
  uint32_t lastKey_ = 0;
  std::shared_ptr<table::Table> recordset_;
  bool filling_ = false;
  IListGrid* grid_ = nullptr;
  const IItemTexts* texts_ = nullptr;
  IListObserver* observer_ = nullptr;
};

}  // namespace mf
