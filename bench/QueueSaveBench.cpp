// Times keeping the Download list in its file for 1,000 and 10,000 items: the
// text alone, a save that writes (text, new file, flush, rename), a save that
// finds nothing changed (what a run's progress costs each second), and the
// read back of a start-up. Prints the file's size too.
//   run: build/wine-run.sh build/bin/queue_save_bench.exe
#include <windows.h>

#include <cstdio>

#include "downloadlist/DownloadList.h"
#include "downloadlist/QueueFile.h"
#include "downloadlist/QueueKeeper.h"

namespace {

double Milliseconds(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1e3 * double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

template <typename Step>
double AverageMs(int rounds, Step step) {
  LARGE_INTEGER t0, t1;
  QueryPerformanceCounter(&t0);
  for (int i = 0; i < rounds; ++i) step(i);
  QueryPerformanceCounter(&t1);
  return Milliseconds(t0, t1) / rounds;
}

// Items as a long list has them: half done, names with accents.
mf::DownloadItems Items(int n) {
  mf::DownloadItems items(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    mf::DownloadItem& item = items[static_cast<size_t>(i)];
    item.Video_URL =
        L"http://www.youtube.com/watch?v=vid" + std::to_wstring(i) + L"&feature=related";
    item.FileName = L"Vidéo numéro " + std::to_wstring(i) + L" — a longer title.flv";
    item.State = i % 2 ? mf::ItemState::Complete : mf::ItemState::Waiting;
    item.Size = mf::SizeKnown::Length;
    item.FileLength = 12939428;
    item.PartFile = i % 2 ? L"" : L"C:\\Downloaded Videos\\" + item.FileName + L".part";
  }
  return items;
}

}  // namespace

int main() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring file = std::wstring(temp) + L"mf-queue-bench.json";
  for (int n : {1000, 10000}) {
    DeleteFileW(file.c_str());
    mf::DownloadList list;
    mf::QueueKeeper keeper(list);
    keeper.SetFile(file);
    keeper.Restore();
    list.RestoreItems(Items(n));
    const int rounds = n >= 10000 ? 5 : 20;
    size_t bytes = 0;
    const double text =
        AverageMs(rounds, [&](int) { bytes = mf::QueueToJson(list.Items()).size(); });
    const double write = AverageMs(rounds, [&](int i) {
      list.At(0)->FileLength = i;  // a change, so every save writes
      keeper.SaveNow();
    });
    const double same = AverageMs(rounds, [&](int) { keeper.SaveNow(); });
    const double read = AverageMs(rounds, [&](int) {
      mf::DownloadList fresh;
      mf::QueueKeeper reader(fresh);
      reader.SetFile(file);
      reader.Restore();
    });
    std::printf(
        "%5d items, %7zu bytes: text %6.2f ms, save that writes %6.2f ms, save with nothing "
        "new %6.2f ms, start-up read %6.2f ms\n",
        n, bytes, text, write, same, read);
  }
  DeleteFileW(file.c_str());
  return 0;
}
