// "Complete" means the server's whole file. Every answer a server may give,
// with and without a partial file, ends byte-identical or with an honest
// "ERROR"; a partial file is continued exactly or started again, never
// spliced with another version, never lost. The real window and run.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "downloadlist/QueueFile.h"
#include "downloadlist/Vocabulary.h"
#include "tests/support/Files.h"
#include "tests/transfer/QueueFixture.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

constexpr uint64_t kSize = 300000;

HttpResponse Version(uint32_t seed, const char* etag = "\"v1\"", uint64_t size = kSize) {
  return HttpResponse::File(size, seed).AcceptRanges().Header("ETag", etag);
}

// At most `cap` bytes from where the request asks, as a CDN may answer.
HttpResponse Capped(const HttpRequest& request, uint64_t cap) {
  const std::string range = request.Header("Range").value_or("bytes=0-");
  const uint64_t from = std::stoull(range.substr(6)), last = std::min(kSize, from + cap) - 1;
  HttpResponse part = HttpResponse::File(last + 1, 1).Header("ETag", "\"v1\"");
  part.Status(206, "Partial Content")
      .Header("Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(last) + "/" +
                                   std::to_string(kSize));
  part.bodyOffset = from;
  return part;
}

// A thread timer: acts while the run waits on the network.
std::function<void()> g_action;
void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (auto action = std::move(g_action)) action();
}
void After(UINT ms, std::function<void()> action) {
  g_action = std::move(action);
  SetTimer(nullptr, 0, ms, Fire);
}

class Verified : public QueueFixture {
 protected:
  void SetUp() override {
    QueueFixture::SetUp();
    app.queue.Download.SetTimeouts(2000, 1000);
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  // A direct link whose HEAD `head` answers and whose GETs `get` does.
  std::wstring Direct(const std::string& name, HttpResponse head,
                      std::function<HttpResponse(const HttpRequest&)> get) {
    http.Route("/v/" + name,
               [head, get](const HttpRequest& r) { return r.method == "HEAD" ? head : get(r); });
    return Add(http.Url("/v/" + name));
  }
  // The item as a stopped run leaves it: the first `have` bytes of version
  // "v1" of the file (seed 1) in its partial file, and that version recorded.
  void Partial(const std::wstring& page, const std::wstring& name, uint64_t have) {
    DownloadItem& item = *app.list.At(*app.list.FindAddress(page));
    item.FileName = name;
    item.PartFile = InFolder(name + L".part");
    item.PartETag = L"\"v1\"";
    item.PartLength = kSize;
    std::string bytes(have, '\0');
    FillPattern(1, 0, bytes.data(), bytes.size());
    WriteFileBytes(item.PartFile, bytes);
  }
  const DownloadItem& ItemOf(const std::wstring& page) {
    return *app.list.At(*app.list.FindAddress(page));
  }
  // The partial file holds only the first bytes of version "v1", at least `have` of them.
  void ExpectKept(const std::wstring& part, uint64_t have) {
    const std::string bytes = ReadFileBytes(part);
    EXPECT_GE(bytes.size(), have);
    std::string pattern(bytes.size(), '\0');
    FillPattern(1, 0, pattern.data(), pattern.size());
    EXPECT_TRUE(bytes == pattern) << "the partial file was spliced or cut";
  }
};

TEST_F(Verified, CompleteComesOnlyWithTheServersWholeFile) {
  struct Case {
    const char* answer;
    uint64_t partial;  // bytes of a partial file before the run
    std::function<HttpResponse(const HttpRequest&)> get;
    uint32_t complete;  // the seed of the file that must arrive; 0: an honest "ERROR"
    bool fetchedAgain;  // the server sends bytes the partial file had
  };
  const auto always = [](HttpResponse r) { return [r](const HttpRequest&) { return r; }; };
  const auto ranged = [](const HttpRequest& r) { return AnswerRange(r, Version(1)); };
  const Case cases[] = {
      {"200", 0, always(Version(1)), 1, false},
      {"200 without a length, as told", 0, always(Version(1).WithoutContentLength()), 1, false},
      {"200 without a length, cut short", 0,
       always(Version(1).WithoutContentLength().DropAfter(1000)), 0, false},
      {"200 whose other header names a length", 0,
       always(Version(1).Header("X-Original-Content-Length", "999999")), 1, false},
      {"206, all of it, unasked", 0,
       always(Version(1)
                  .Status(206, "Partial Content")
                  .Header("Content-Range", "bytes 0-299999/300000")),
       1, false},
      {"206, a part, unasked", 0, [](const HttpRequest& r) { return Capped(r, 1000); }, 0, false},
      {"204", 0, always(HttpResponse::Text("").Status(204, "No Content")), 0, false},
      {"304", 0, always(HttpResponse::Text("").Status(304, "Not Modified")), 0, false},
      {"300 with a page", 0, always(HttpResponse::Text("<p>pick</p>").Status(300, "Choices")), 0,
       false},
      {"206, the rest", 100000, ranged, 1, false},
      {"206s capped at 64 KiB", 100000, [](const HttpRequest& r) { return Capped(r, 65536); }, 1,
       false},
      {"200 of the same version", 100000, always(Version(1)), 1, true},
      {"200 of a new version", 100000, always(Version(2, "\"v2\"")), 2, true},
      {"416, nothing left", kSize, ranged, 1, false},
      {"reset before any answer", 100000, always(Version(1).ResetBeforeAnswer()), 0, false},
      {"503", 100000, always(HttpResponse::Text("busy").Status(503, "Busy")), 0, false},
      {"206, cut short", 100000,
       [](const HttpRequest& r) { return AnswerRange(r, Version(1)).DropAfter(5000, true); }, 0,
       false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    const std::wstring name = L"f" + std::to_wstring(++n) + L".mp4";
    const std::wstring page = Direct(ToAnsi(name), Version(1), c.get);
    if (c.partial) Partial(page, name, c.partial);
    const uint64_t sentBefore = http.BodyBytesSent();
    Run();
    const DownloadItem& item = ItemOf(page);
    if (c.complete) {
      EXPECT_EQ(StatusText(item), vocab::kComplete);
      EXPECT_EQ(FileHash(InFolder(name)), PatternHash(kSize, c.complete));
      EXPECT_FALSE(FileExists(InFolder(name + L".part")));
      if (c.partial && !c.fetchedAgain) {
        EXPECT_LT(http.BodyBytesSent() - sentBefore, kSize * 85 / 100);
      }
    } else {
      EXPECT_EQ(StatusText(item), vocab::kError);
      EXPECT_FALSE(FileExists(InFolder(name)));
      if (c.partial) ExpectKept(InFolder(name + L".part"), c.partial);
    }
  }
  // What the failures said under the list, and where the first file came from.
  EXPECT_EQ(ReadFileBytes(InFolder(L"f1.mp4:Zone.Identifier")),
            "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=" + ToAnsi(http.Url("/v/f1.mp4")) +
                "\r\nHostUrl=" + ToAnsi(http.Url("/v/f1.mp4")) + "\r\n");
}

// A partial file over failures of every kind: the information request
// failing or hard to read, a request failing after a new version was seen,
// a stop whose question is answered after the answer came, a stopped request
// whose answer comes once the next run began.
TEST_F(Verified, APartialFileIsContinuedExactlyOrStartedAgainAcrossFailures) {
  struct Case {
    const char* sequence;
    HttpResponse head;
    std::function<HttpResponse(const HttpRequest&, int get)> get;  // `get`: 0 for the first
    std::function<void()> during;                                  // set up before the run
    uint32_t seed;                                                 // of the file that must arrive
  };
  std::atomic<int> gets{0};
  const auto ranged = [](uint32_t seed, const char* etag) {
    return [=](const HttpRequest& r, int) { return AnswerRange(r, Version(seed, etag)); };
  };
  const Case cases[] = {
      {"information answered 503", HttpResponse::Text("busy").Status(503, "Busy"),
       ranged(1, "\"v1\""), nullptr, 1},
      {"information with 1.5 KiB of headers",
       Version(1).Header("X-Padding", std::string(1536, 'p')), ranged(1, "\"v1\""), nullptr, 1},
      {"a new version, then a request that fails before any answer", Version(2, "\"v2\""),
       [](const HttpRequest& r, int get) {
         return get == 0 ? Version(2, "\"v2\"").DelayHeaders(1500)
                         : AnswerRange(r, Version(2, "\"v2\""));
       },
       nullptr, 2},
      {"a stop answered after the answer came", Version(1),
       [](const HttpRequest& r, int get) {
         return get == 0 ? AnswerRange(r, Version(1)).DelayHeaders(200)
                         : AnswerRange(r, Version(1));
       },
       [&] {
         platform.onMessageBox = [](const MessageBoxCall&) { Sleep(700); };
         After(100, [&] { form.cmdStartDownload_Click(); });
       },
       1},
      {"a stop, a start, and the stopped request's answer late", Version(1),
       [](const HttpRequest& r, int get) {
         // The late answer lies: it would overwrite the partial file with other bytes.
         return get == 0 ? Version(9).DropAfter(1000).DelayHeaders(600)
                         : AnswerRange(r, Version(1)).DelayHeaders(800);
       },
       [&] {
         After(150, [&] {
           form.cmdStartDownload_Click();
           form.cmdStartDownload_Click();
         });
       },
       1},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sequence);
    const std::wstring name = L"s" + std::to_wstring(++n) + L".mp4";
    gets = 0;
    const std::wstring page = Direct(
        ToAnsi(name), c.head, [&c, &gets](const HttpRequest& r) { return c.get(r, gets++); });
    Partial(page, name, 150000);
    platform.onMessageBox = nullptr;
    if (c.during) c.during();
    const uint64_t sentBefore = http.BodyBytesSent();
    Run();
    if (StatusText(ItemOf(page)) == vocab::kCancelled) Run();  // the stopped item, started again
    PumpFor(1000);                                             // a late answer has come and gone
    EXPECT_EQ(StatusText(ItemOf(page)), vocab::kComplete);
    EXPECT_EQ(FileHash(InFolder(name)), PatternHash(kSize, c.seed));
    if (c.seed == 1) {
      EXPECT_LT(http.BodyBytesSent() - sentBefore, kSize * 85 / 100);
    }
  }
}

// Two items that end up with one name never share a partial file, also
// when the first one never got a byte.
TEST_F(Verified, ItemsOfOneNameKeepTheirOwnPartialFiles) {
  bool mayFinish = false;
  int secondGets = 0;
  const auto named = [](uint32_t seed, const char* etag) {
    return Version(seed, etag).Header("Content-Disposition", "attachment; filename=\"same.mp4\"");
  };
  const std::wstring a = Direct("a.mp4", named(1, "\"a\""), [&](const HttpRequest& r) {
    return mayFinish ? AnswerRange(r, named(1, "\"a\"")) : named(1, "\"a\"").ResetBeforeAnswer();
  });
  const std::wstring b = Direct("b.mp4", named(2, "\"b\""), [&](const HttpRequest& r) {
    if (secondGets++ == 0) return AnswerRange(r, named(2, "\"b\"")).DropAfter(100000);
    return mayFinish ? AnswerRange(r, named(2, "\"b\""))
                     : HttpResponse::Text("").Status(503, "Busy");
  });
  Run();
  EXPECT_EQ(StatusText(ItemOf(a)), vocab::kError);
  EXPECT_EQ(StatusText(ItemOf(b)), vocab::kError);
  mayFinish = true;
  const uint64_t sentBefore = http.BodyBytesSent();
  for (const std::wstring& page : {a, b})
    EXPECT_TRUE(app.gridView.AddURLToList(page));  // tried again
  Run();
  const DownloadItem &first = ItemOf(a), &second = ItemOf(b);
  EXPECT_NE(first.FileName, second.FileName);
  EXPECT_EQ(FileHash(InFolder(first.FileName)), PatternHash(kSize, 1));
  EXPECT_EQ(FileHash(InFolder(second.FileName)), PatternHash(kSize, 2));
  EXPECT_LT(http.BodyBytesSent() - sentBefore, kSize + kSize * 85 / 100);
}

// Names from a server, an address or the list's file stay in the download
// folder, name no device, hide no type, and a file that is no video is shown
// in its folder, never run.
TEST_F(Verified, NamesFromOutsideStayInTheFolderAndHideNothing) {
  struct Case {
    const char* target;
    const char* disposition;  // "" for none
    const wchar_t* name;
    bool opened;  // Open plays it; else it is shown in its folder
  };
  const Case cases[] = {
      {"/n/run.exe%00.mp4", "", L"run.exe.mp4", true},
      {"/n/a.mp4", "attachment; filename*=UTF-8''x%00y.mp4", L"xy.mp4", true},
      {"/n/b.mp4", "attachment; filename=\"c\x01\x1b d.mp4\"", L"c d.mp4", true},
      {"/n/c.mp4", "attachment; filename*=UTF-8''clip%E2%80%AEgpj.exe", L"clipgpj.exe", false},
      {"/n/d.mp4", "attachment; filename=\" .mp4. . \"", L"d.mp4", true},
      {"/n/e.mp4", "attachment; filename=\"x.lnk\"", L"x.lnk", false},
  };
  // Read back from the list's file: a name that climbs out of the folder, one
  // with a stream, and a partial file that is another file of the user's.
  const std::wstring precious = folder + L"-precious.txt", kept = folder + L"-queue.json";
  WriteFileBytes(precious, "mine");
  http.Route("/n/q.mp4", HttpResponse::File(3000, 6));
  DownloadItems restored;
  for (const wchar_t* name : {L"..\\..\\x.bat", L"a:s.mp4", L"p.mp4"})
    restored.push_back({.Video_URL = http.Url("/n/q.mp4"),
                        .FileName = name,
                        .PartFile = name[0] == L'p' ? precious : L""});
  WriteFileBytes(kept, QueueToJson(restored));
  app.keeper.SetFile(kept);
  app.RestoreList();
  for (const Case& c : cases) {
    HttpResponse file = HttpResponse::File(3000, 5);
    if (*c.disposition) file.Header("Content-Disposition", c.disposition);
    http.Route(std::string(c.target), file);
    Add(http.Url(c.target));
  }
  Run();

  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].target);
    const DownloadItem& item = Item(restored.size() + i);
    EXPECT_EQ(StatusText(item), vocab::kComplete);
    EXPECT_EQ(item.FileName, cases[i].name);
    EXPECT_EQ(FileHash(InFolder(cases[i].name)), PatternHash(3000, 5));
    platform.shellCalls.clear();
    app.gridView.OpenFiles({item.Key});
    ASSERT_EQ(platform.shellCalls.size(), 1u);
    EXPECT_EQ(platform.shellCalls[0].file,
              cases[i].opened ? InFolder(cases[i].name) : L"explorer.exe");
  }
  for (const wchar_t* name : {L"....x.bat", L"as.mp4", L"p.mp4"})
    EXPECT_EQ(FileHash(InFolder(name)), PatternHash(3000, 6)) << name;
  EXPECT_EQ(ReadFileBytes(precious), "mine");
  app.keeper.SetFile(L"");
  DeleteFileW(precious.c_str());
  DeleteFileW(kept.c_str());
}

// A name cut to fit a deep folder is checked for a device name after the cut.
TEST_F(Verified, ANameCutToADeviceNameIsNoDevice) {
  std::wstring deep = folder;
  for (size_t left = 238 - folder.size(); left > 0;) {
    const size_t step = left > 101 ? 60 : left;  // a separator and a name
    deep += L"\\" + std::wstring(step - 1, L'd');
    CreateDirectoryW(deep.c_str(), nullptr);
    left -= step;
  }
  app.settings.DownloadFolder = deep;
  http.Route("/n/dev.mp4", HttpResponse::File(2000, 7).Header(
                               "Content-Disposition", "attachment; filename=\"COM1abcdefgh.mp4\""));
  Add(http.Url("/n/dev.mp4"));
  Run();
  // "COM1.mp4" would fit, and names a device: one character less does not.
  EXPECT_EQ(Item(0).FileName, L"COM.mp4");
  EXPECT_EQ(FileHash(deep + L"\\COM.mp4"), PatternHash(2000, 7));
  for (const wchar_t* left : {L"\\COM.mp4", L"\\COM.mp4:Zone.Identifier"})
    DeleteFileW((deep + left).c_str());
  while (deep.size() > folder.size()) {
    RemoveDirectoryW(deep.c_str());
    deep.resize(deep.rfind(L'\\'));
  }
}

// Nothing from outside keeps a request going without end.
TEST_F(Verified, RedirectsPagesAndWaitsAreBounded) {
  http.Route("/r/loop.mp4",
             HttpResponse::Text("").Status(302, "Found").Header("Location", "/r/loop.mp4"));
  for (int i = 0; i < 10; ++i)
    http.Route("/r/" + std::to_string(i) + ".mp4",
               HttpResponse::Text("")
                   .Status(307, "Moved")
                   .Header("Location", "/r/" + std::to_string(i + 1) + ".mp4"));
  http.Route("/r/10.mp4", HttpResponse::File(4000, 8));
  HttpResponse page = HttpResponse::Text("");
  page.pattern = PatternBody{64 << 20, 3};
  http.Route("/p/huge", page);
  std::atomic<ULONGLONG> firstTry{0}, secondTry{0};
  http.Route("/r/later.mp4", [&](const HttpRequest& r) {
    if (r.method == "HEAD") return HttpResponse::File(100, 1);
    (firstTry ? secondTry : firstTry) =
        GetTickCount64();  // the handler runs on the server's thread
    return secondTry ? HttpResponse::File(100, 1)
                     : HttpResponse::Text("").Status(503, "Busy").Header("Retry-After", "4294968");
  });
  app.queue.MaxRetryAfterMs = 1500;
  const std::wstring chain = Add(http.Url("/r/0.mp4"));
  const std::wstring huge = Add(http.Url("/p/huge"));
  const std::wstring later = Add(http.Url("/r/later.mp4"));
  const std::wstring loop = Add(http.Url("/r/loop.mp4"));
  Run();
  EXPECT_EQ(StatusText(ItemOf(loop)), vocab::kError);
  EXPECT_LE(http.CountRequests("GET", "/r/loop.mp4") + http.CountRequests("HEAD", "/r/loop.mp4"),
            22u);
  EXPECT_NE(Controls(form).Flash.GetVariable(L"_root.notice").find(L"Too many redirects"),
            std::wstring::npos);
  EXPECT_EQ(StatusText(ItemOf(chain)), vocab::kComplete);
  EXPECT_EQ(StatusText(ItemOf(huge)), vocab::kError);
  EXPECT_LT(http.BodyBytesSent(), 40u << 20) << "the page was read past its limit";
  EXPECT_EQ(StatusText(ItemOf(later)), vocab::kComplete);
  EXPECT_GE(secondTry - firstTry, 1400u) << "the server's wait was cut short";
}

}  // namespace
