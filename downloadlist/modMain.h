#pragma once
// The Download list: an in-memory sequence of items, the single source of
// truth, and the rebuild of the table the grid shows. Lives from start-up to
// the end of the process.
#include <cstdint>
#include <memory>
#include <string>

#include "controls/table/Table.h"
#include "downloadlist/DownloadItem.h"

namespace mf {

// What the rebuild needs of the window that shows the list.
class IListGrid {
 public:
  virtual ~IListGrid() = default;
  // The grid shows no table any more (its data source is none).
  virtual void UnbindListTable() = 0;
  // Binds modMain::ListRecordset to the grid, laying the grid out when needed.
  virtual bool FormatDownloadGrid(bool initial) = 0;
};

namespace modMain {

inline DownloadItems DownloadList;
// The table the grid is bound to; each rebuild replaces it.
inline std::shared_ptr<table::Table> ListRecordset;
// True while FillDownloadList runs.
inline bool IsFilling = false;
// The window that shows the list; none until one registers.
inline IListGrid* ListGrid = nullptr;

bool IsListEmpty();
bool AddItem(const std::wstring& videoUrl, const std::wstring& fileName,
             const std::wstring& status, const std::wstring& fileSize);
bool UpdateItem(int16_t id, const std::wstring& videoUrl, const std::wstring& fileName,
                const std::wstring& status, const std::wstring& fileSize);
bool RemoveItem(int16_t id);
void MoveItemUp(int16_t id);
void MoveItemDown(int16_t id);
bool FillDownloadList();

// A new, empty table with the five columns in their order.
std::shared_ptr<table::Table> NewListRecordset();

// Column positions, which the grid commands rely on.
enum Column : size_t { colID = 0, colVideoURL = 1, colFileName = 2, colStatus = 3, colFileSize = 4 };
// Addresses longer than this are cut in the grid; the item keeps them whole.
constexpr size_t kShownUrlLength = 219;

// Clears the list and the rebuild state (start of a test, a fresh run).
void Reset();

}  // namespace modMain
}  // namespace mf
