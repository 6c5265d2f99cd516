// Time to save one stream with the stream control, against any server given
// by address (bench/stream_bench.sh makes an HLS stream, serves it with
// nginx and compares ffmpeg):
//   usage: stream_bench.exe URL CONNECTIONS OUTFILE
// Every round fetches all of it: the movie, its journal and segments left
// by an earlier round go first. Prints "seconds <s>" (from the start to the
// movie written), "joining <s>" (of them, from the last segment saved) and
// "segments <n>"; exits 1, with the reason, when the stream did not end Done.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/Clock.h"
#include "common/Text.h"
#include "transfer/StreamDownload.h"

namespace {

// Hears the control: when the last segment was saved, how the stream ended.
struct Owner : mf::IStreamEvents {
  bool ended = false;
  double fetched = 0;
  mf::StreamEvent end;
  void StreamProgress(const mf::StreamEvent& e) override {
    if (fetched == 0 && e.count > 0 && e.saved == e.count) fetched = Seconds();
  }
  void StreamEnded(const mf::StreamEvent& e) override {
    end = e;
    ended = true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: stream_bench URL CONNECTIONS OUTFILE\n");
    return 2;
  }
  const std::wstring out = mf::FromAnsi(argv[3]);
  DeleteFileW(out.c_str());
  mf::StreamJournal::Remove(out);
  mf::MessageWindow window;
  Owner owner;
  mf::StreamDownload control(window);
  control.SetEvents(&owner);
  const double began = Seconds();
  control.Start({.url = mf::FromAnsi(argv[1]), .partFile = out, .connections = std::atoi(argv[2])});
  MSG msg;
  while (!owner.ended && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  const double ended = Seconds();
  if (owner.end.kind != mf::StreamEvent::Done) {
    std::printf("failed %s\n", mf::ToAnsi(owner.end.reason).c_str());
    return 1;
  }
  std::printf("seconds %.2f\njoining %.2f\nsegments %zu\n", ended - began,
              owner.fetched > 0 ? ended - owner.fetched : 0.0, owner.end.count);
  return 0;
}
