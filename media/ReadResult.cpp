#include "media/ReadResult.h"

namespace mf::media {

ReadFailure Unreadable(std::wstring message) {
  return {FailureKind::Unreadable, std::move(message)};
}
ReadFailure LiveRefusal() { return {FailureKind::Live, kLiveRefusal}; }
ReadFailure ProtectedRefusal() { return {FailureKind::Protected, kProtectedRefusal}; }

}  // namespace mf::media
