#pragma once
// The grid as assistive technology sees it (MSAA, which UI Automation also
// reads): a list whose children are the rows, named and valued by the
// owner's IRowDescription, and the events that tell a screen reader that the
// focus or the selection moved.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/access/Accessible.h"

namespace mf::grid {

class Grid;
struct Binding;

class GridAccess {
 public:
  explicit GridAccess(Grid& grid) noexcept : grid_(grid) {}
  ~GridAccess();
  GridAccess(const GridAccess&) = delete;
  GridAccess& operator=(const GridAccess&) = delete;

  // The messages this part answers (WM_GETOBJECT, its own) or watches (the
  // window going); true when answered, with the result.
  bool Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The focus, the selection or the rows may have changed. Told once the
  // grid's work of the moment is done: a range selection changes its cells
  // one by one.
  void Changed();

 private:
  static constexpr UINT kMsgAnnounce = WM_USER + 2;
  void Announce();
  void AnnounceSelection(const std::vector<uint8_t>& now);

  Grid& grid_;
  access::Accessible* object_ = nullptr;  // made at the first WM_GETOBJECT
  bool pending_ = false;
  // What clients were last told: of which binding's rows, which rows were
  // selected, and which child had the focus (-1: none).
  std::weak_ptr<Binding> binding_;
  std::vector<uint8_t> selected_;
  long focused_ = -1;
};

}  // namespace mf::grid
