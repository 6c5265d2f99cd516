#include "transfer/PieceJournal.h"

#include <windows.h>

#include <algorithm>
#include <sstream>

#include "common/HttpHeaders.h"
#include "common/TextCodec.h"
#include "transfer/JournalFile.h"

namespace mf {
namespace {

constexpr char kFirstLine[] = "marrowfin pieces 1";

std::wstring Text(const std::string& line) {
  std::optional<std::wstring> text = FromUtf8Strict(line);
  return text ? *text : std::wstring();
}

}  // namespace

std::optional<PieceJournal> PieceJournal::Load(const std::wstring& partFile) {
  std::istringstream in(ReadSmallFile(PathFor(partFile)));
  std::string first, tag, modified, total, blocks, end;
  if (!std::getline(in, first) || first != kFirstLine || !std::getline(in, tag) ||
      !std::getline(in, modified) || !std::getline(in, total) || !std::getline(in, blocks) ||
      !std::getline(in, end) || end != "end")
    return std::nullopt;
  PieceJournal journal{.eTag = Text(tag), .lastModified = Text(modified)};
  const std::optional<int64_t> length = ParseDecimal(total);
  if (!length || *length <= 0 || blocks.size() != static_cast<size_t>(BlockCount(*length)))
    return std::nullopt;
  journal.total = *length;
  for (char c : blocks) {
    if (c != '0' && c != '1') return std::nullopt;
    journal.blocks.push_back(c == '1');
  }
  return journal;
}

bool PieceJournal::Exists(const std::wstring& partFile) {
  return GetFileAttributesW(PathFor(partFile).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool PieceJournal::Save(const std::wstring& partFile) const {
  std::string text = std::string(kFirstLine) + "\n" + ToUtf8(eTag) + "\n" + ToUtf8(lastModified) +
                     "\n" + std::to_string(total) + "\n";
  for (bool on : blocks) text += on ? '1' : '0';
  text += "\nend\n";
  return ReplaceFileWith(PathFor(partFile), text);
}

void PieceJournal::Remove(const std::wstring& partFile) {
  DeleteFileW(PathFor(partFile).c_str());
  DeleteFileW((PathFor(partFile) + L".new").c_str());
}

int64_t PieceJournal::BytesOnDisk() const {
  int64_t bytes = 0;
  for (size_t i = 0; i < blocks.size(); ++i)
    if (blocks[i])
      bytes += std::min<int64_t>(kBlockBytes, total - static_cast<int64_t>(i) * kBlockBytes);
  return bytes;
}

}  // namespace mf
