#pragma once
// What reading a playlist, a manifest or an index gives: the thing read, or
// why it cannot be had, in the words the user sees.
#include <cstddef>
#include <string>
#include <utility>
#include <variant>

namespace mf::media {

inline constexpr wchar_t kLiveRefusal[] = L"Live streams are not supported";
inline constexpr wchar_t kProtectedRefusal[] = L"This video is protected and cannot be saved";

// Live and Protected are refusals (nothing is to be written); Unreadable is
// a text or index that cannot be read, and its message says why.
enum class FailureKind { Unreadable, Live, Protected };

struct ReadFailure {
  FailureKind kind = FailureKind::Unreadable;
  std::wstring message;
};

ReadFailure Unreadable(std::wstring message);
ReadFailure LiveRefusal();
ReadFailure ProtectedRefusal();

template <typename T>
class ReadResult {
 public:
  ReadResult(T value) : state_(std::move(value)) {}                // NOLINT: implicit by design
  ReadResult(ReadFailure failure) : state_(std::move(failure)) {}  // NOLINT: implicit by design

  explicit operator bool() const noexcept { return state_.index() == 0; }
  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  const ReadFailure& Failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, ReadFailure> state_;
};

// Limits that keep an absurd text from eating memory or time: larger texts
// and longer tracks are refused as unreadable.
inline constexpr size_t kMaxManifestBytes = 32u << 20;
inline constexpr size_t kMaxSegmentsPerTrack = 200000;

}  // namespace mf::media
