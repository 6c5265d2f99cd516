// The Download list kept between runs, seen from the program's start-up: the
// window opens with the last run's list, or says why it cannot.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/WholeFile.h"
#include "downloadlist/Vocabulary.h"
#include "shell/Program.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;

namespace {

// Three items as a run left them that ended during the second one's transfer.
const std::string kKept = R"json({"format": "Marrowfin download list", "version": 1, "items": [
  {"Video_URL": "http://www.youtube.com/watch?v=a", "FileName": "a.flv", "Status": "Complete",
   "FileSize": "1 MB"},
  {"Video_URL": "http://www.youtube.com/watch?v=b", "FileName": "b.flv", "Status": "57",
   "FileSize": "2 MB", "PartFile": "C:\\Downloaded Videos\\b.flv.part"},
  {"Video_URL": "http://www.youtube.com/watch?v=c", "FileName": "Waiting (Auto Detect)",
   "Status": "Waiting", "FileSize": "????"}]})json";

class QueueStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    file = std::wstring(temp) + L"mf-startup-queue.json";
    TearDown();
  }
  void TearDown() override {
    DeleteFileW(file.c_str());
    WIN32_FIND_DATAW found{};
    const std::wstring folder = file.substr(0, file.rfind(L'\\') + 1);
    HANDLE find = FindFirstFileW((file + L".damaged-*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do DeleteFileW((folder + found.cFileName).c_str());
    while (FindNextFileW(find, &found));
    FindClose(find);
  }

  std::wstring file;
  test::RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
};

TEST_F(QueueStartupTest, TheWindowOpensWithTheLastRunsListOrSaysWhyNot) {
  struct {
    const char* what;
    std::string text;
    size_t items;
    size_t boxes;
  } cases[] = {
      {"the list kept", kKept, 3, 0},
      {"a damaged file", kKept.substr(0, kKept.size() - 3), 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(ReplaceWholeFile(file, c.text));
    platform.messageBoxes.clear();
    mf::test::TestProgram app;
    app.keeper.SetFile(file);
    ASSERT_TRUE(app.form.Load());
    EXPECT_EQ(platform.messageBoxes.size(), c.boxes);
    ASSERT_EQ(app.list.Count(), c.items);
    EXPECT_EQ(app.gridView.DownloadGrid.RowCount(), c.items);
    if (!c.items) continue;
    EXPECT_EQ(Controls(app.form).Flash.GetVariable(L"_root.downloadBtn"), L"1");
    const DownloadItem& interrupted = *app.list.At(1);
    EXPECT_EQ(interrupted.Video_URL, L"http://www.youtube.com/watch?v=b");
    EXPECT_EQ(StatusText(interrupted), vocab::kWaiting);
    EXPECT_EQ(interrupted.PartFile, L"C:\\Downloaded Videos\\b.flv.part");
    EXPECT_EQ(StatusText(*app.list.At(0)), vocab::kComplete);
  }
}

}  // namespace
