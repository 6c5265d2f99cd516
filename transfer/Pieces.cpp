#include "transfer/Pieces.h"

#include <algorithm>

namespace mf {

class Pieces::Guard {
 public:
  explicit Guard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Guard() { ReleaseSRWLockExclusive(&lock_); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  SRWLOCK& lock_;
};

Pieces::Pieces(int64_t total, std::vector<bool> done, int64_t prefix)
    : total_(total), done_(std::move(done)) {
  done_.resize(static_cast<size_t>(PieceJournal::BlockCount(total)), false);
  for (int64_t b = 0; std::min(total_, (b + 1) * kBlock) <= prefix && b * kBlock < total_; ++b)
    done_[static_cast<size_t>(b)] = true;
  // Runs of missing blocks are the pieces to take at first.
  for (size_t i = 0; i < done_.size(); ++i) {
    const int64_t begin = static_cast<int64_t>(i) * kBlock;
    const int64_t end = std::min(total_, begin + kBlock);
    if (done_[i])
      onDisk_ += end - begin;
    else if (!left_.empty() && left_.back().second == begin)
      left_.back().second = end;
    else
      left_.push_back({begin, end});
  }
  // The block the prefix ends in is missing only from there on.
  if (!left_.empty() && left_.front().first < prefix) {
    onDisk_ += prefix - left_.front().first;
    left_.front().first = prefix;
  }
}

int64_t Pieces::FirstMissing() const {
  Guard guard(lock_);
  const auto it = std::find(done_.begin(), done_.end(), false);
  return it == done_.end() ? total_ : static_cast<int64_t>(it - done_.begin()) * kBlock;
}

Pieces::Piece* Pieces::Track(int64_t begin, int64_t end) {
  return &reading_.emplace_back(Piece{begin, end, begin, begin});
}

Pieces::Piece* Pieces::TakeFrom(int64_t begin) {
  Guard guard(lock_);
  for (auto it = left_.begin(); it != left_.end(); ++it) {
    if (it->first != begin) continue;
    const int64_t end = it->second;
    left_.erase(it);
    return Track(begin, end);
  }
  return nullptr;
}

Pieces::Piece* Pieces::Next() {
  Guard guard(lock_);
  if (!left_.empty()) {
    const auto [begin, end] = left_.front();
    left_.erase(left_.begin());
    return Track(begin, end);
  }
  Piece* largest = nullptr;
  for (Piece& p : reading_)
    if (!largest || p.end - p.reservedTo > largest->end - largest->reservedTo) largest = &p;
  if (!largest) return nullptr;
  // Split on a block's edge, past any read under way, leaving at least a block.
  const int64_t middle = largest->reservedTo + (largest->end - largest->reservedTo) / 2;
  const int64_t split = (middle + kBlock - 1) / kBlock * kBlock;
  if (split < largest->reservedTo || largest->end - split < kBlock) return nullptr;
  const int64_t end = largest->end;
  largest->end = split;
  return Track(split, end);
}

int64_t Pieces::End(const Piece* piece) const {
  Guard guard(lock_);
  return piece->end;
}

int64_t Pieces::Reserve(Piece* piece, int64_t most) {
  Guard guard(lock_);
  const int64_t count = std::min(most, piece->end - piece->at);
  piece->reservedTo = piece->at + count;
  return count;
}

void Pieces::Wrote(Piece* piece, int64_t count) {
  Guard guard(lock_);
  const int64_t from = piece->at;
  piece->at += count;
  onDisk_ += count;
  // A block is on disk once its last byte is: pieces begin on a block's edge.
  for (int64_t b = from / kBlock; b * kBlock < piece->at; ++b) {
    const int64_t blockEnd = std::min(total_, (b + 1) * kBlock);
    if (piece->at >= blockEnd) done_[static_cast<size_t>(b)] = true;
  }
}

void Pieces::GiveBack(Piece* piece) {
  Guard guard(lock_);
  // The block it was in the middle of comes again whole (from the piece's start).
  const int64_t begin = std::max(piece->begin, piece->at / kBlock * kBlock);
  onDisk_ -= piece->at - begin;
  if (begin < piece->end) left_.push_back({begin, piece->end});
  Release(piece);
}

void Pieces::Finish(Piece* piece) {
  Guard guard(lock_);
  Release(piece);
}

void Pieces::Release(Piece* piece) {
  reading_.remove_if([piece](const Piece& p) { return &p == piece; });
}

bool Pieces::LeftOver() const {
  Guard guard(lock_);
  return !left_.empty();
}

bool Pieces::Complete() const {
  Guard guard(lock_);
  return std::find(done_.begin(), done_.end(), false) == done_.end();
}

int64_t Pieces::BytesOnDisk() const {
  Guard guard(lock_);
  return onDisk_;
}

std::vector<bool> Pieces::Blocks() const {
  Guard guard(lock_);
  return done_;
}

}  // namespace mf
