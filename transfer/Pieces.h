#pragma once
// The pieces of one file fetched over several connections: which byte
// ranges are left, which connection reads which, and which blocks are
// written. A connection asks for a piece, reserves each read before it
// reads, and tells what it wrote; one that runs out takes half of the
// largest piece still left (never less than a block), so that all of them
// end at about the same time. Safe from every connection's thread.
#include <windows.h>

#include <cstdint>
#include <list>
#include <vector>

#include "transfer/PieceJournal.h"

namespace mf {

class Pieces {
 public:
  static constexpr int64_t kBlock = PieceJournal::kBlockBytes;
  struct Piece {
    int64_t begin = 0, end = 0;  // [begin, end)
    int64_t at = 0;              // the next byte to write
    int64_t reservedTo = 0;      // bytes up to here may be in a read under way
  };

  // `done` holds a flag per block: the blocks already on disk; so are the
  // first `prefix` bytes (a file written from its start).
  Pieces(int64_t total, std::vector<bool> done, int64_t prefix = 0);
  Pieces(const Pieces&) = delete;
  Pieces& operator=(const Pieces&) = delete;

  int64_t Total() const { return total_; }
  // The first byte not on disk (Total when all are).
  int64_t FirstMissing() const;
  // The run of missing bytes from `begin`, as a piece of its own.
  Piece* TakeFrom(int64_t begin);
  // A piece left over, else half of the largest one being read; null when
  // none is worth taking.
  Piece* Next();
  // Where the piece ends now: a piece taken from it may have moved its end.
  int64_t End(const Piece* piece) const;
  // The bytes the piece's next read may bring (0: it is complete).
  int64_t Reserve(Piece* piece, int64_t most);
  // `count` bytes were written at the piece's `at`.
  void Wrote(Piece* piece, int64_t count);
  // The piece's connection ended before it: the rest goes back to be taken.
  void GiveBack(Piece* piece);
  // The piece is complete.
  void Finish(Piece* piece);
  bool LeftOver() const;
  bool Complete() const;
  int64_t BytesOnDisk() const;
  std::vector<bool> Blocks() const;

 private:
  class Guard;
  Piece* Track(int64_t begin, int64_t end);
  void Release(Piece* piece);

  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  const int64_t total_;
  std::vector<bool> done_;
  int64_t onDisk_ = 0;
  std::list<Piece> reading_;
  std::vector<std::pair<int64_t, int64_t>> left_;  // ranges no connection reads
};

}  // namespace mf
