// Names in any language along the whole road: the download folder kept in
// the registry, the server's name for the file, the item and the file on
// disk; and paths that would pass the platform's limit.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "downloadlist/Vocabulary.h"
#include "tests/transfer/QueueFixture.h"
#include "tests/support/Shown.h"

using namespace mf;
using namespace mf::test;

namespace {

class WideNames : public QueueFixture {
 protected:
  void SetUp() override {
    QueueFixture::SetUp();
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(folder), ignored);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tallowmere Marrowfin");
    QueueFixture::TearDown();
  }
  // An AngryAlien item whose video is sent with this Content-Disposition.
  std::wstring Named(const std::string& id, const std::string& disposition, uint64_t size) {
    http.Route("/aa/" + id + ".swf", HttpResponse::File(size, static_cast<uint32_t>(size))
                                         .Header("Content-Disposition", disposition));
    return Add(Page("/angryalien.com/" + id, "<embed src=\"http://127.0.0.1/aa/" + id + ".swf\">"));
  }
  static size_t FilesIn(const std::wstring& path) {
    size_t n = 0;
    // Under Wine a file's zone mark shows as a file of its own, "name:Zone.Identifier".
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path)))
      n += entry.is_regular_file() && !entry.path().wstring().ends_with(L"Zone.Identifier");
    return n;
  }
};

TEST_F(WideNames, AFolderAndServerNamesInAnyScriptGiveThatFolderAndThoseFiles) {
  // The folder as the user chose it, kept in the registry and read back.
  const std::wstring chosen = folder + L"\\Видео\\映画";
  CreateDirectoryW((folder + L"\\Видео").c_str(), nullptr);  // the run makes the last level
  app.settings.DownloadFolder = chosen;
  app.settings.SaveSettings();
  app.settings.DownloadFolder.clear();
  app.settings.LoadSettings();
  ASSERT_EQ(app.settings.DownloadFolder, chosen);

  const struct {
    const char* disposition;
    const wchar_t* file;
  } cases[] = {
      {"attachment; filename*=UTF-8''%E5%8B%95%E7%94%BB.mp4", L"動画.mp4"},
      // Raw UTF-8; and "映:画?", whose forbidden characters go.
      {"attachment; filename=\"\xD0\x92\xD0\xB8\xD0\xB4\xD0\xB5\xD0\xBE.mp4\"", L"Видео.mp4"},
      {"attachment; filename*=UTF-8''%E6%98%A0%3A%E7%94%BB%3F.mp4", L"映画.mp4"},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    Named(std::to_string(i), cases[i].disposition, 3000 + i);
  Run();

  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(StatusText(*app.list.At(i)), vocab::kComplete);
    EXPECT_EQ(app.list.At(i)->FileName, cases[i].file);
    EXPECT_EQ(FileHash(chosen + L"\\" + cases[i].file),
              PatternHash(3000 + i, static_cast<uint32_t>(3000 + i)));
  }
  EXPECT_EQ(FilesIn(chosen), std::size(cases));
}

TEST_F(WideNames, ANameIsCutToFitThePathAndAFolderWithoutRoomFailsTheItem) {
  // Room for 20 characters of name: 259 less the folder, "\", ".part" and " (9999)".
  const std::wstring deep = folder + L"\\" + std::wstring(226 - folder.size() - 1, L'd');
  app.settings.DownloadFolder = deep;
  std::string disposition = "attachment; filename=";
  disposition.append(50, 'x').append(".mp4");
  Named("long", disposition, 5000);
  Run();
  const std::wstring cut = std::wstring(16, L'x') + L".mp4";
  EXPECT_EQ(StatusText(*app.list.At(0)), vocab::kComplete);
  EXPECT_EQ(app.list.At(0)->FileName, cut);
  EXPECT_EQ(FileHash(deep + L"\\" + cut), PatternHash(5000, 5000));

  // Room for one character: not even "a.mp4" fits, and nothing is written anywhere.
  const std::wstring deeper = folder + L"\\" + std::wstring(245 - folder.size() - 1, L'e');
  app.settings.DownloadFolder = deeper;
  Named("a", "attachment; filename=\"a.mp4\"", 6000);
  Run();
  EXPECT_EQ(StatusText(*app.list.At(1)), vocab::kError);
  EXPECT_EQ(app.list.At(1)->FileName, L"a.mp4");
  EXPECT_NE(Var(L"_root.notice").find(L"too long"), std::wstring::npos);
  EXPECT_EQ(http.CountRequests("GET", "/aa/a.swf"), 0u);
  EXPECT_EQ(FilesIn(deeper), 0u);
  EXPECT_EQ(FilesIn(folder), 0u);
  EXPECT_EQ(FilesIn(deep), 1u);
}

}  // namespace
