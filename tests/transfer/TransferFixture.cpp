#include "tests/transfer/TransferFixture.h"

#include <algorithm>
#include <atomic>

#include "common/Handles.h"
#include "common/Text.h"
#include "tests/support/Wait.h"

namespace mf::test {

void RecordingOwner::DownloadComplete() {
  events.push_back({DownloadEvent::Complete});
  if (onComplete) onComplete();
}

void RecordingOwner::DownloadProgress(long& lProgress) {
  events.push_back({DownloadEvent::Progress, lProgress});
  if (onProgress) onProgress(lProgress);
}

void RecordingOwner::DownloadError(std::wstring& sErrorDescription) {
  events.push_back({DownloadEvent::Error, 0, sErrorDescription});
}

void RecordingOwner::DownloadCancelled(long& lPosition) {
  events.push_back({DownloadEvent::Cancelled, lPosition});
  if (onCancelled) onCancelled();
}

std::vector<long> RecordingOwner::Progress() const {
  std::vector<long> values;
  for (const DownloadEvent& e : events)
    if (e.kind == DownloadEvent::Progress) values.push_back(e.value);
  return values;
}

size_t RecordingOwner::Count(DownloadEvent::Kind kind) const {
  return static_cast<size_t>(std::count_if(events.begin(), events.end(),
                                           [&](const DownloadEvent& e) { return e.kind == kind; }));
}

std::string RecordingOwner::Sequence() const {
  std::string s;
  for (const DownloadEvent& e : events) s += "CPEX"[e.kind];
  return s;
}

void DownloadTest::SetUp() {
  static std::atomic<int> counter{0};
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  folder_ = FromAnsi(temp) + L"mf_transfer_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(++counter);
  CreateDirectoryA(ToAnsi(folder_).c_str(), nullptr);
  ASSERT_TRUE(server.Start());
  download.SetEvents(&owner);
}

bool DownloadTest::Transfer(Download& control) {
  // The owner that hears this control.
  RecordingOwner& owner = *static_cast<RecordingOwner*>(control.Events());
  const auto ends = [&] {
    return std::count_if(owner.events.begin(), owner.events.end(),
                         [](const DownloadEvent& e) { return e.kind != DownloadEvent::Progress; });
  };
  const auto before = ends();
  if (!control.StartDownload()) return false;
  EXPECT_TRUE(PumpUntil([&] { return ends() > before; }, 120000));
  return owner.events.back().kind == DownloadEvent::Complete;
}

void DownloadTest::Inform(Download& control) {
  RecordingOwner& owner = *static_cast<RecordingOwner*>(control.Events());
  const int before = owner.informed;
  if (!control.RequestInformation()) return;
  EXPECT_TRUE(PumpUntil([&] { return owner.informed > before; }, 120000));
}

void DownloadTest::TearDown() {
  server.Stop();
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(ToAnsi(folder_ + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string path = ToAnsi(folder_) + "\\" + found.cFileName;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(ToAnsi(folder_).c_str());
}

void DownloadTest::ServeFile(const std::string& target, uint64_t size, uint32_t seed) {
  server.Route(target, HttpResponse::File(size, seed));
}

void DownloadTest::Aim(const std::string& target, const std::wstring& fileName) {
  download.SetUrl(server.Url(target));
  download.SetLocalFile(LocalPath(fileName));
}

uint16_t ClosedPort() {
  HttpServer gone;
  EXPECT_TRUE(gone.Start());
  return gone.Port();  // closed again when `gone` goes
}

std::optional<uint64_t> FileSizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(ToAnsi(path).c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(CreateFileA(ToAnsi(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string ReadWholeFile(const std::wstring& path) {
  UniqueFile file(CreateFileA(ToAnsi(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
  std::string bytes;
  if (!file) return bytes;
  char buf[65536];
  DWORD read = 0;
  while (ReadFile(file.get(), buf, sizeof buf, &read, nullptr) && read > 0) bytes.append(buf, read);
  return bytes;
}

std::string Pattern(uint32_t seed, uint64_t offset, size_t size) {
  std::string bytes(size, '\0');
  FillPattern(seed, offset, bytes.data(), size);
  return bytes;
}

}  // namespace mf::test
