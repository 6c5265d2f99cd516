// Throughput of the Download control over several connections, against any
// server given by address (bench/many_connections_bench.sh starts nginx and
// compares aria2c and curl):
//   usage: many_connections_bench.exe URL CONNECTIONS [--items N]
// N controls (default 1) fetch the file at once, each over CONNECTIONS
// connections, as the queue does after its information request. Prints
// "mbps <MB/s>" (all bytes over the time of the slowest, 1 MB = 10^6 bytes)
// and "peak_working_set <MiB>"; exits 1 when a fetch failed.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/Clock.h"
#include "common/Text.h"
#include "transfer/Download.h"

namespace {

// Hears one control: how its request ended.
struct Owner : mf::IDownloadEvents {
  enum { Running, Complete, Failed } state = Running;
  void InformationReady() override { state = Complete; }
  void DownloadComplete() override { state = Complete; }
  void DownloadError(std::wstring&) override { state = Failed; }
  void DownloadCancelled(long&) override { state = Failed; }
};

// The window's messages flow until every owner has heard its end.
void AwaitAll(const std::vector<std::unique_ptr<Owner>>& owners) {
  const auto running = [&] {
    for (const auto& o : owners)
      if (o->state == Owner::Running) return true;
    return false;
  };
  MSG msg;
  while (running() && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: many_connections_bench URL CONNECTIONS [--items N]\n");
    return 2;
  }
  const std::wstring url = mf::FromAnsi(argv[1]);
  const int connections = std::atoi(argv[2]);
  const int items = argc > 4 && std::string(argv[3]) == "--items" ? std::atoi(argv[4]) : 1;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  mf::MessageWindow window;
  std::vector<std::unique_ptr<Owner>> owners;
  std::vector<std::unique_ptr<mf::Download>> controls;
  for (int i = 0; i < items; ++i) {
    owners.push_back(std::make_unique<Owner>());
    controls.push_back(std::make_unique<mf::Download>(window));
    mf::Download& c = *controls.back();
    c.SetEvents(owners.back().get());
    c.SetUrl(url);
    c.SetLocalFile(mf::FromAnsi(temp) + L"mf_many_" + std::to_wstring(i) + L".bin");
    c.SetConnectionsPerDownload(connections);
    c.RequestInformation();
  }
  AwaitAll(owners);
  const double began = Seconds();
  for (int i = 0; i < items; ++i) {
    owners[i]->state = Owner::Running;
    DeleteFileW(controls[i]->LocalFile().c_str());
    controls[i]->StartDownload();
  }
  AwaitAll(owners);
  const double seconds = Seconds() - began;
  double bytes = 0;
  bool ok = true;
  for (int i = 0; i < items; ++i) {
    bytes += static_cast<double>(controls[i]->BytesReceived());
    ok = ok && owners[i]->state == Owner::Complete;
    DeleteFileW(controls[i]->LocalFile().c_str());
  }
  PROCESS_MEMORY_COUNTERS pmc{sizeof pmc};
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  if (ok)
    std::printf("mbps %.1f\n", bytes / seconds / 1e6);
  else
    std::printf("mbps failed\n");
  std::printf("peak_working_set %.1f\n",
              static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0));
  return ok ? 0 : 1;
}
