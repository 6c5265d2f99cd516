// The local name and size text the main window derives for a video link.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "resolver/SiteId.h"
#include "shell/Program.h"
#include "tests/support/Wait.h"
#include "tests/transfer/TransferFixture.h"
#include "tests/support/Shown.h"
#include "tests/support/TestProgram.h"

using namespace mf;
using namespace mf::test;

namespace {

class LocalFileInfoTest : public DownloadTest {
 protected:
  LocalFileInfo Inform(const std::wstring& link, int16_t site) {
    return Await<LocalFileInfo>([&](auto done) { app.queue.GetLocalFileInfo(link, site, done); });
  }
  LocalFileInfo Info(const std::string& target, int16_t site) {
    return Inform(server.Url(target), site);
  }
  mf::test::TestProgram app;
  frmMain& form = app.form;
};

TEST_F(LocalFileInfoTest, TheServersNameIsUsedUnlessTheLinkEndsInAVideoExtension) {
  server.Route("/get?id=7", HttpResponse::File(2048).Header(
                                "Content-Disposition", "attachment; filename=\"My: Clip.avi\""));
  LocalFileInfo info = Info("/get?id=7", siteBreak);
  EXPECT_EQ(info.FileName, L"My Clip.avi");  // quotes and colon cleaned away
  EXPECT_EQ(SizeText(info), L"2 KB");
  EXPECT_EQ(app.queue.Download.Url(), server.Url("/get?id=7"));
  EXPECT_EQ(server.CountRequests("HEAD", "/get?id=7"), 1u);

  server.Route("/media/clip.flv", HttpResponse::File(512).Header("Content-Disposition",
                                                                 "attachment; filename=other.avi"));
  EXPECT_EQ(Info("/media/clip.flv", siteGoogleVideo).FileName, L"clip.flv");
  server.Route("/media/Talk.WMV", HttpResponse::File(512).Header("Content-Disposition",
                                                                 "attachment; filename=other.avi"));
  EXPECT_EQ(Info("/media/Talk.WMV", siteAngryAlien).FileName, L"Talk.WMV");
}

TEST_F(LocalFileInfoTest, WithoutAServerNameTheLinksLastPartIsCleaned) {
  server.Route("/dl/get_video?v=a&t=b:c|d", HttpResponse::File(100));
  LocalFileInfo info = Info("/dl/get_video?v=a&t=b:c|d", siteGoogleVideo);
  EXPECT_EQ(info.FileName, L"get_videov=at=bcd");
  EXPECT_EQ(SizeText(info), L"100 Bytes");
}

TEST_F(LocalFileInfoTest, ALinkWithoutAnySlashIsNamedWhole) {
  server.Route("/", HttpResponse::File(10));
  const std::wstring link = L"127.0.0.1:" + std::to_wstring(server.Port());
  LocalFileInfo info = Inform(link, siteBreak);
  EXPECT_EQ(info.FileName, L"127.0.0.1" + std::to_wstring(server.Port()));
  EXPECT_EQ(SizeText(info), L"10 Bytes");
}

TEST_F(LocalFileInfoTest, YouTubeAndZippyVideosNamesGetTheFlvExtension) {
  server.Route("/videos/abc", HttpResponse::File(100));
  EXPECT_EQ(Info("/videos/abc", siteYouTube).FileName, L"abc.flv");
  EXPECT_EQ(Info("/videos/abc", siteZippyVideos).FileName, L"abc.flv");
  EXPECT_EQ(Info("/videos/abc", siteBreak).FileName, L"abc");
  EXPECT_EQ(Info("/videos/abc", siteUnsupported).FileName, L"abc");
}

TEST_F(LocalFileInfoTest, LongNamesAreCutKeepingTheirExtension) {
  const std::string name146 = std::string(146, 'a');
  server.Route("/v/" + name146 + ".avi", HttpResponse::File(1));
  std::wstring cut = Info("/v/" + name146 + ".avi", siteBreak).FileName;
  EXPECT_EQ(cut, std::wstring(96, L'a') + L".avi");

  // YouTube: 56 + ".flv" = 60 characters, cut to 31 + ".flv".
  const std::string name56 = std::string(50, 'y') + "123456";
  server.Route("/v/" + name56, HttpResponse::File(1));
  EXPECT_EQ(Info("/v/" + name56, siteYouTube).FileName, std::wstring(31, L'y') + L".flv");
  // The same name elsewhere keeps its length.
  EXPECT_EQ(Info("/v/" + name56, siteZippyVideos).FileName.size(), 60u);
  EXPECT_EQ(Info("/v/" + name56, siteBreak).FileName.size(), 56u);

  // Past 100 first, then past 35: still 31 + ".flv".
  const std::string name120 = std::string(120, 'z');
  server.Route("/v/" + name120, HttpResponse::File(1));
  EXPECT_EQ(Info("/v/" + name120, siteYouTube).FileName, std::wstring(31, L'z') + L".flv");
}

TEST_F(LocalFileInfoTest, TheYouTubeCutComesBeforeCleaningSoNamesMayEndShorter) {
  // A name ending in .flv is taken from the link as it is; its ampersands go
  // only at the end, after the cut to 35.
  const std::string name = "a&b&c&" + std::string(60, 'q') + ".flv";
  server.Route("/v/" + name, HttpResponse::File(1));
  std::wstring result = Info("/v/" + name, siteYouTube).FileName;
  EXPECT_EQ(result.size(), 32u);
  EXPECT_EQ(result, L"abc" + std::wstring(25, L'q') + L".flv");
}

TEST_F(LocalFileInfoTest, DeviceNamesFromTheServerBecomeFileNames) {
  for (const char* remote : {"NUL.flv", "con", "Com7.avi", "lpt1 .wmv", "aux.tar.gz", "com0.flv"}) {
    server.Route("/get", HttpResponse::File(1).Header(
                             "Content-Disposition", std::string("attachment; filename=") + remote));
    EXPECT_EQ(Info("/get", siteBreak).FileName, L"_" + FromAnsi(remote));
  }
  for (const char* remote : {"console.flv", "com10.flv", "nullify", "lpt.flv"}) {
    server.Route("/get", HttpResponse::File(1).Header(
                             "Content-Disposition", std::string("attachment; filename=") + remote));
    EXPECT_EQ(Info("/get", siteBreak).FileName, FromAnsi(remote));
  }
  // YouTube's added extension keeps a device a device.
  server.Route("/watch/prn", HttpResponse::File(1));
  EXPECT_EQ(Info("/watch/prn", siteYouTube).FileName, L"_prn.flv");
}

TEST_F(LocalFileInfoTest, SizeTextsForAKnownAnUnknownAndAMissingFile) {
  server.Route("/known.flv", HttpResponse::File(3072));
  EXPECT_EQ(SizeText(Info("/known.flv", siteBreak)), L"3 KB");

  server.Route("/unknown.flv", HttpResponse::File(3072).WithoutContentLength());
  EXPECT_EQ(SizeText(Info("/unknown.flv", siteBreak)), L"0");

  server.Route("/missing.flv", HttpResponse::NotFound().WithoutContentLength());
  LocalFileInfo missing = Info("/missing.flv", siteBreak);
  EXPECT_EQ(SizeText(missing), L"-1 Bytes");
  EXPECT_EQ(missing.FileName, L"missing.flv");

  // A 404 page with a length: its own size.
  HttpResponse page = HttpResponse::NotFound();
  const size_t pageSize = page.body.size();
  server.Route("/page.flv", page);
  EXPECT_EQ(SizeText(Info("/page.flv", siteBreak)), std::to_wstring(pageSize) + L" Bytes");

  // No server at all: neither file nor size either.
  LocalFileInfo none =
      Inform(L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/x.flv", siteBreak);
  EXPECT_EQ(SizeText(none), L"-1 Bytes");
  EXPECT_EQ(none.FileName, L"x.flv");
}

}  // namespace
