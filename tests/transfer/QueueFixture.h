#pragma once
// The program loaded with its window and the loopback server on port 80,
// where the YouTube redirect request always goes; a fresh download folder per
// test, made by the run itself and emptied afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/AppPath.h"
#include "common/Text.h"
#include "shell/Program.h"
#include "tests/support/DownloadTap.h"
#include "tests/support/HttpServer.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/Sha256.h"
#include "tests/support/Wait.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

namespace mf::test {

// Records the running item's status at every notification of the download
// control, after the program's own handler has run.
class StatusRecorder : public test::DownloadTap {
 public:
  using DownloadTap::DownloadTap;
  // Distinct statuses of each item, in order of appearance.
  std::map<std::wstring, std::vector<std::wstring>> seen;

 private:
  void Note() override {
    const DownloadItem* item = app_.list.At(static_cast<size_t>(app_.queue.CurrentIndex()));
    if (!item) return;
    auto& list = seen[item->Video_URL];
    if (list.empty() || list.back() != StatusText(*item)) list.push_back(StatusText(*item));
  }
};

inline std::string YouTubePage(const std::string& player) {
  return "<input name=\"embed_code\" value=\"&lt;embed src=&quot;" + player +
         "&amp;hl=en&quot; type=&quot;application/x-shockwave-flash&quot;&gt;\">";
}

inline std::string GooglePage(const std::wstring& file) {
  return "<a href=\"" + ToAnsi(file) + "\" id=\"ipoddownloadlink\">iPod</a>";
}

inline std::string FileHash(const std::wstring& path) { return Sha256OfFile(path); }
inline std::string PatternHash(uint64_t size, uint32_t seed) { return Sha256OfPattern(seed, size); }

class QueueFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(http.Start(80)) << "the tests need port 80 on 127.0.0.1";
    ASSERT_TRUE(form.Load());
    // The movie opens on its download page once it has started.
    ASSERT_TRUE(test::PumpUntil([&] { return form.CurrentTab == L"Download"; }));
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    folder = FromAnsi(tmp) + L"mf-queue-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter);
    app.settings.DownloadFolder = folder;  // made by the run itself
    // Failures that may pass are tried again at once: the waits are not
    // what the tests look at.
    app.queue.RetryWaitsMs = {10, 10, 10};
    // They follow one item after another; several at once have tests of their own.
    app.queue.SetSimultaneous(1);
  }
  void TearDown() override {
    http.Stop();
    EmptyFolder();
    RemoveDirectoryA(ToAnsi(folder).c_str());
  }
  void EmptyFolder() {
    std::string pattern = ToAnsi(folder) + "\\*";
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do DeleteFileA((ToAnsi(folder) + "\\" + fd.cFileName).c_str());
      while (FindNextFileA(h, &fd));
      FindClose(h);
    }
  }

  std::wstring Page(const std::string& target, const std::string& html) {
    http.Route(target, HttpResponse::Text(html));
    return http.Url(target);
  }
  std::wstring Add(const std::wstring& page) {
    EXPECT_TRUE(app.gridView.AddURLToList(page));
    return page;
  }
  const DownloadItem& Item(size_t i) { return app.list.Items().at(i); }
  // Start, and the run to its end.
  void Run() {
    form.cmdStartDownload_Click();
    ASSERT_TRUE(PumpUntil([&] { return !app.queue.IsDownloading; }, 120000));
  }
  std::wstring InFolder(const std::wstring& name) { return folder + L"\\" + name; }
  std::wstring Var(const wchar_t* name) { return Controls(form).Flash.GetVariable(name); }

  static inline int counter = 0;
  RecordingPlatform platform;
  ScopedPlatform usePlatform{platform};
  HttpServer http;
  mf::test::TestProgram app;
  frmMain& form = app.form;
  std::wstring folder;
};

}  // namespace mf::test
