// Throughput of the Download control against bare loops of the platform's
// two HTTP clients (the control's own, WinHTTP, and WinINet), fetching one
// file from a server given by address (bench/transfer_bench.sh starts the test
// server and adds curl). Each round fetches the file once per way, one way
// after the other and a different one first each time, so that a busy machine
// slows all of them alike:
//   component  the control into a local file, its owner handling every
//              progress notification as the queue driver does
//   winhttp64k a bare loop on this thread: the same request as the control's,
//              64 KiB WinHttpReadData calls, each block written to the file
//   wininet64k the same with WinINet's InternetReadFile
//   wininet2k  WinINet with 2,048-byte reads, the control's old chunk
//   usage: transfer_bench.exe URL [--rounds N]
// Prints per way "result <way> <MB/s>" (the median of the rounds; 1 MB = 10^6
// bytes), "best <way> <MB/s>" and "cpu <way> <us per MB>" (the median of this
// process's own processor time, which moves far less with the machine's load
// than the clock), then "peak_working_set <MiB>" after the control's first fetch.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/Clock.h"
#include "common/DoEvents.h"
#include "common/Handles.h"
#include "common/Text.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "downloadlist/DownloadList.h"
#include "bench/BareLoops.h"
#include "transfer/Download.h"

namespace {

// User and kernel time of this process so far.
double CpuSeconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto value = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           1e7;
  };
  return value(kernel) + value(user);
}

struct Fetch {
  uint64_t bytes = 0;
  double seconds = 0;
  double cpuSeconds = 0;
  bool ok = false;
};

// Times `body`, which reports the bytes it fetched and whether it succeeded.
Fetch Timed(const std::function<bool(uint64_t&)>& body) {
  Fetch f;
  double c0 = CpuSeconds();
  double t0 = Seconds();
  f.ok = body(f.bytes);
  f.seconds = Seconds() - t0;
  f.cpuSeconds = CpuSeconds() - c0;
  return f;
}

// The owner as the queue driver is during a video transfer: a progress
// notification that changes the percentage becomes the item's status text.
class QueueDriverLikeOwner : public mf::IDownloadEvents {
 public:
  mf::Download* control = nullptr;
  mf::DownloadList* list = nullptr;
  bool cancelRequested = false;
  long shown = -1;
  enum { Running, Informed, Complete, Failed } state = Running;

  void InformationReady() override { state = Informed; }
  void DownloadComplete() override { state = Complete; }
  void DownloadError(std::wstring&) override { state = Failed; }
  void DownloadCancelled(long&) override { state = Failed; }
  // The window's messages flow until the control says the request ended.
  void AwaitEnd() {
    MSG msg;
    while (state == Running && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  void DownloadProgress(long& lProgress) override {
    if (cancelRequested) control->CancelDownload();
    // As the queue driver does: the item takes the value, told when it changes.
    mf::DownloadItem& item = *list->At(0);
    item.State = mf::ItemState::Arriving;
    item.Received = control->BytesReceived();
    if (lProgress != shown) shown = lProgress;
  }
};

Fetch FetchWithComponent(const std::wstring& url, const std::wstring& localFile) {
  mf::DownloadList list;
  list.AddItem(L"http://www.example.com/watch?v=bench", L"bench.flv", L"", L"");
  mf::MessageWindow window;
  mf::Download control{window};
  QueueDriverLikeOwner owner;
  owner.control = &control;
  owner.list = &list;
  control.SetEvents(&owner);
  control.SetUrl(url);
  control.SetLocalFile(localFile);
  // As the queue driver does: the information step first, then the transfer.
  control.RequestInformation();
  owner.AwaitEnd();
  list.UpdateItem(1, L"", L"", L"", mf::FormatFileSize(control.FileSize()));
  Fetch f = Timed([&](uint64_t& bytes) {
    owner.state = QueueDriverLikeOwner::Running;
    control.StartDownload();
    owner.AwaitEnd();
    bytes = static_cast<uint64_t>(control.BytesReceived());
    return owner.state == QueueDriverLikeOwner::Complete;
  });
  DeleteFileA(mf::ToAnsi(localFile).c_str());
  return f;
}

// A bare loop of one of the platform's clients, read in blocks of `block`
// bytes, each written to the file.
Fetch FetchBare(decltype(&WinHttpLoop) loop, const std::wstring& url, DWORD block,
                const std::wstring& localFile) {
  mf::UniqueFile out(CreateFileW(localFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  Fetch f = Timed(
      [&](uint64_t& bytes) { return loop(mf::Download::kAgent, url, block, out.get(), bytes); });
  out.reset();
  DeleteFileW(localFile.c_str());
  return f;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double PeakWorkingSetMiB() {
  PROCESS_MEMORY_COUNTERS pmc{sizeof pmc};
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

struct Way {
  const char* name;
  std::function<Fetch()> fetch;
  std::vector<double> mbps, cpuPerMB;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: transfer_bench URL [--rounds N]\n");
    return 2;
  }
  const std::wstring url = mf::FromAnsi(argv[1]);
  int rounds = 3;
  for (int i = 2; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--rounds") rounds = std::max(1, std::atoi(argv[++i]));

  // The program's window exists while it downloads: the control's waits serve it.
  HWND window = CreateWindowExA(0, "STATIC", "transfer bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                0, 320, 120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::wstring localFile = mf::FromAnsi(temp) + L"mf_transfer_bench.bin";

  std::vector<Way> ways = {
      {"component", [&] { return FetchWithComponent(url, localFile); }},
      {"winhttp64k", [&] { return FetchBare(&WinHttpLoop, url, 64 * 1024, localFile); }},
      {"wininet64k", [&] { return FetchBare(&WinInetLoop, url, 64 * 1024, localFile); }},
      {"wininet2k", [&] { return FetchBare(&WinInetLoop, url, 2048, localFile); }},
  };
  double peak = 0;
  uint64_t size = 0;
  for (int r = 1; r <= rounds; ++r) {
    std::printf("round %d:", r);
    for (size_t k = 0; k < ways.size(); ++k) {
      Way& way = ways[(k + static_cast<size_t>(r) - 1) % ways.size()];
      Fetch f = way.fetch();
      if (r == 1 && &way == &ways[0]) peak = PeakWorkingSetMiB();
      if (!f.ok || (size && f.bytes != size)) {
        std::fprintf(stderr, "\n%s: the fetch failed after %llu bytes\n", way.name,
                     static_cast<unsigned long long>(f.bytes));
        return 1;
      }
      size = f.bytes;
      way.mbps.push_back(static_cast<double>(f.bytes) / f.seconds / 1e6);
      way.cpuPerMB.push_back(f.cpuSeconds * 1e6 / (static_cast<double>(f.bytes) / 1e6));
      std::printf(" %s %.1f MB/s (%.0f us/MB)", way.name, way.mbps.back(), way.cpuPerMB.back());
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  for (const Way& way : ways) {
    std::printf("result %s %.2f\nbest %s %.2f\ncpu %s %.0f\n", way.name, Median(way.mbps), way.name,
                *std::max_element(way.mbps.begin(), way.mbps.end()), way.name,
                Median(way.cpuPerMB));
  }
  std::printf("peak_working_set %.1f\n", peak);
  DestroyWindow(window);
  return 0;
}
