// The grid as a screen reader reads it (MSAA): a list of rows with their
// owner's names and values and their states, and the events that follow the
// keyboard and the mouse.
#include <gtest/gtest.h>

#include "tests/controls/GridFixture.h"
#include "tests/controls/MsaaClient.h"

using namespace mf;
using mf::test::GridFixture;
using Heard = std::vector<std::pair<DWORD, long>>;

namespace {

class Described : public grid::IRowDescription {
 public:
  std::wstring RowName(size_t row) override { return L"clip " + std::to_wstring(row); }
  std::wstring RowValue(size_t row) override { return std::to_wstring(row * 10) + L" %"; }
};

using GridAccess = GridFixture;

TEST_F(GridAccess, ReadsTheRowsAsAListOfItemsWithTheirOwnersNamesAndTheirStates) {
  Bind(40);
  Described described;
  grid.SetRowDescription(&described);
  ClickCell(1, 1);
  test::MsaaClient reader(grid.Hwnd());
  ASSERT_EQ(reader.hr, S_OK);
  EXPECT_EQ(reader.Role(CHILDID_SELF), ROLE_SYSTEM_LIST);
  EXPECT_EQ(reader.Count(), 40);
  const long base = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
  struct Case {
    long child;
    std::wstring name, value;
    long state;
  } cases[] = {
      {1, L"clip 0", L"0 %", base},
      {2, L"clip 1", L"10 %", base | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED},
      {40, L"clip 39", L"390 %", base | STATE_SYSTEM_OFFSCREEN},  // scrolled out of view
  };
  for (const Case& c : cases) {
    EXPECT_EQ(reader.Role(c.child), ROLE_SYSTEM_LISTITEM) << c.child;
    EXPECT_EQ(reader.Name(c.child), c.name) << c.child;
    EXPECT_EQ(reader.Value(c.child), c.value) << c.child;
    EXPECT_EQ(reader.State(c.child), c.state) << c.child;
  }
  POINT third = CentreOf(2, 2);
  ClientToScreen(grid.Hwnd(), &third);
  EXPECT_EQ(reader.At(third), 3);
  EXPECT_EQ(reader.Selection(), std::vector<long>{2});
  WithKeyDown(VK_CONTROL, [&] { Key('A'); });
  EXPECT_EQ(reader.Selection().size(), 40u);

  grid.SetRowDescription(nullptr);  // a row is then named by its cells
  EXPECT_EQ(reader.Name(1), L"1, name 0, s0");
  EXPECT_EQ(reader.Value(1), L"<failed>");
  EXPECT_EQ(reader.Name(41), L"<failed>");
  DestroyWindow(grid.Hwnd());  // a client may keep the object longer
  EXPECT_EQ(reader.Count(), -1);
}

TEST_F(GridAccess, AnnouncesWhereTheFocusAndTheSelectionMove) {
  Bind(30);
  test::PumpFor(50);  // the rows' first announcement
  test::MsaaEvents events(grid.Hwnd());
  struct Step {
    const char* what;
    std::function<void()> act;
    Heard expected;
  } steps[] = {
      // The system's own event for the window taking the focus comes first.
      {"a click",
       [&] { ClickCell(0, 0); },
       {{EVENT_OBJECT_FOCUS, CHILDID_SELF}, {EVENT_OBJECT_SELECTION, 1}, {EVENT_OBJECT_FOCUS, 1}}},
      {"down", [&] { Key(VK_DOWN); }, {{EVENT_OBJECT_SELECTION, 2}, {EVENT_OBJECT_FOCUS, 2}}},
      {"shift+down",
       [&] { WithKeyDown(VK_SHIFT, [&] { Key(VK_DOWN); }); },
       {{EVENT_OBJECT_SELECTIONADD, 3}, {EVENT_OBJECT_FOCUS, 3}}},
      {"ctrl+a",
       [&] { WithKeyDown(VK_CONTROL, [&] { Key('A'); }); },
       {{EVENT_OBJECT_SELECTIONWITHIN, CHILDID_SELF}}},
      {"a client's choice",
       [&] { test::MsaaClient(grid.Hwnd()).Select(5, SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION); },
       {{EVENT_OBJECT_SELECTIONWITHIN, CHILDID_SELF}, {EVENT_OBJECT_FOCUS, 5}}},
      {"other rows",
       [&] { Bind(3); },
       {{EVENT_OBJECT_REORDER, CHILDID_SELF}, {EVENT_OBJECT_FOCUS, CHILDID_SELF}}},
  };
  for (const Step& step : steps) {
    events.heard.clear();
    step.act();
    test::PumpUntil([&] { return events.heard.size() >= step.expected.size(); }, 2000);
    test::PumpFor(20);  // and nothing more
    EXPECT_EQ(events.heard, step.expected) << step.what;
  }
}

}  // namespace
