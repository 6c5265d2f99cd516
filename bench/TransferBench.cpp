// Throughput of the Download control against bare WinINet loops, fetching one
// file from a server given by address (bench/transfer_bench.sh starts the test
// server and adds curl). Each round fetches the file once per way, one way
// after the other and a different one first each time, so that a busy machine
// slows all of them alike:
//   component  the control into a local file, its owner handling every
//              progress notification as the queue driver does
//   bare       InternetOpenUrlA and 2,048-byte InternetReadFile calls, nothing else
//   sweep      the bare loop with a message-queue sweep after every read
//   usage: transfer_bench.exe URL [--rounds N]
// Prints one "result <way> <MB/s>" line per way (the median of the rounds,
// 1 MB = 10^6 bytes) and "peak_working_set <MiB>" for the component's rounds.
#include <windows.h>

#include <psapi.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/DoEvents.h"
#include "common/Text.h"
#include "downloadlist/FileText.h"
#include "downloadlist/Vocabulary.h"
#include "downloadlist/modMain.h"
#include "transfer/Download.h"
#include "transfer/InternetHandle.h"

namespace {

double Seconds() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// The owner as the queue driver will be during a video transfer: every
// progress notification becomes the item's status text.
class QueueDriverLikeOwner : public mf::IDownloadEvents {
 public:
  mf::Download* control = nullptr;
  bool cancelRequested = false;
  std::wstring result;

  void DownloadComplete() override { result = L"1"; }
  void DownloadError(std::wstring& sErrorDescription) override { result = sErrorDescription; }
  void DownloadProgress(long& lProgress) override {
    if (cancelRequested) control->CancelDownload();
    const mf::DownloadItem& item = mf::modMain::DownloadList.front();
    std::wstring status = item.FileSize == mf::vocab::kSizeWithoutLength
                              ? mf::FormatFileSize(static_cast<float>(lProgress)) + mf::vocab::kSoFar
                              : std::to_wstring(lProgress);
    mf::modMain::UpdateItem(item.ID, L"", L"", status, L"");
  }
};

struct Fetch {
  uint64_t bytes = 0;
  double seconds = 0;
  bool ok = false;
};

Fetch FetchWithComponent(const std::wstring& url, const std::wstring& localFile) {
  mf::modMain::Reset();
  mf::modMain::AddItem(L"http://www.example.com/watch?v=bench", L"bench.flv", L"", L"");
  mf::Download control;
  QueueDriverLikeOwner owner;
  owner.control = &control;
  control.SetEvents(&owner);
  control.SetUrl(url);
  control.SetLocalFile(localFile);
  // As the queue driver does: the information step first, then the transfer.
  control.RequestInformation();
  mf::modMain::UpdateItem(1, L"", L"", L"", mf::FormatFileSize(control.FileSize()));
  Fetch f;
  double t0 = Seconds();
  f.ok = control.StartDownload();
  f.seconds = Seconds() - t0;
  f.bytes = static_cast<uint64_t>(control.BytesReceived());
  DeleteFileA(mf::ToAnsi(localFile).c_str());
  return f;
}

Fetch FetchBare(const std::wstring& url, bool sweepEveryRead) {
  Fetch f;
  double t0 = Seconds();
  mf::UniqueInternet session(InternetOpenA(mf::Download::kAgent, INTERNET_OPEN_TYPE_DIRECT,
                                           nullptr, nullptr, 0));
  mf::UniqueInternet file(InternetOpenUrlA(session.get(), mf::ToAnsi(url).c_str(), nullptr, 0,
                                           INTERNET_FLAG_EXISTING_CONNECT, 0));
  if (!file) return f;
  char buffer[mf::Download::kChunkSize];
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(file.get(), buffer, sizeof buffer, &read)) return f;
    if (sweepEveryRead) mf::DoEvents();
    if (read == 0) break;
    f.bytes += read;
  }
  f.seconds = Seconds() - t0;
  f.ok = true;
  return f;
}

double MBps(const Fetch& f) { return f.ok && f.seconds > 0 ? f.bytes / f.seconds / 1e6 : 0; }

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

  // The program's window exists while it downloads: the sweeps have one to serve.
  HWND window = CreateWindowExA(0, "STATIC", "transfer bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 320, 120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  mf::DoEvents();

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::wstring localFile = mf::FromAnsi(temp) + L"mf_transfer_bench.bin";

  std::vector<double> component, bare, sweep;
  double peak = 0;
  for (int r = 1; r <= rounds; ++r) {
    Fetch c, b, s;
    // The ways take turns at going first: none always meets the machine in
    // the same state.
    for (int k = 0; k < 3; ++k) {
      switch ((k + r - 1) % 3) {
        case 0:
          c = FetchWithComponent(url, localFile);
          if (r == 1) peak = PeakWorkingSetMiB();  // before any other way has run
          break;
        case 1:
          b = FetchBare(url, false);
          break;
        default:
          s = FetchBare(url, true);
          break;
      }
      // What was fetched also went into WinINet's cache; it need not stay.
      DeleteUrlCacheEntryA(mf::ToAnsi(url).c_str());
    }
    if (!c.ok || !b.ok || !s.ok || c.bytes != b.bytes || b.bytes != s.bytes) {
      std::fprintf(stderr, "round %d: a fetch failed (%llu, %llu, %llu bytes)\n", r,
                   static_cast<unsigned long long>(c.bytes), static_cast<unsigned long long>(b.bytes),
                   static_cast<unsigned long long>(s.bytes));
      return 1;
    }
    component.push_back(MBps(c));
    bare.push_back(MBps(b));
    sweep.push_back(MBps(s));
    std::printf("round %d: %llu bytes; component %.1f MB/s, bare %.1f MB/s, sweep %.1f MB/s\n", r,
                static_cast<unsigned long long>(c.bytes), component.back(), bare.back(),
                sweep.back());
    std::fflush(stdout);
  }
  std::printf("result component %.2f\nresult bare %.2f\nresult sweep %.2f\n", Median(component),
              Median(bare), Median(sweep));
  std::printf("peak_working_set %.1f\n", peak);
  DestroyWindow(window);
  return 0;
}
