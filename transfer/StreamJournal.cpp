#include "transfer/StreamJournal.h"

#include <windows.h>

#include <sstream>

#include "common/HttpHeaders.h"
#include "transfer/JournalFile.h"

namespace mf {
namespace {

constexpr char kFirstLine[] = "marrowfin stream 1";

}  // namespace

std::optional<StreamJournal> StreamJournal::Load(const std::wstring& partFile) {
  std::istringstream in(ReadSmallFile(PathFor(partFile)));
  std::string first, plan, count;
  if (!std::getline(in, first) || first != kFirstLine || !std::getline(in, plan) ||
      !std::getline(in, count))
    return std::nullopt;
  const std::optional<int64_t> files = ParseDecimal(count);
  if (!files || *files > 1'000'000) return std::nullopt;
  StreamJournal journal;
  journal.plan = std::strtoull(plan.c_str(), nullptr, 16);
  std::string size;
  for (int64_t i = 0; i < *files; ++i) {
    if (!std::getline(in, size)) return std::nullopt;
    const std::optional<int64_t> bytes = ParseDecimal(size);
    journal.sizes.push_back(bytes.value_or(-1));
  }
  std::string end;
  if (!std::getline(in, end) || end != "end") return std::nullopt;
  return journal;
}

bool StreamJournal::Exists(const std::wstring& partFile) {
  return GetFileAttributesW(PathFor(partFile).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool StreamJournal::Save(const std::wstring& partFile) const {
  char identity[17];
  snprintf(identity, sizeof identity, "%016llx", static_cast<unsigned long long>(plan));
  std::string text =
      std::string(kFirstLine) + "\n" + identity + "\n" + std::to_string(sizes.size()) + "\n";
  for (int64_t size : sizes) text += (size < 0 ? std::string("-") : std::to_string(size)) + "\n";
  return ReplaceFileWith(PathFor(partFile), text + "end\n");
}

void StreamJournal::Remove(const std::wstring& partFile) {
  DeleteFileW(PathFor(partFile).c_str());
  DeleteFileW((PathFor(partFile) + L".new").c_str());
  const std::wstring folder = FolderFor(partFile);
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace mf
