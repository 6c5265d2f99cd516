// How a stream job reads its plan: the playlist or manifest, the variant the
// quality setting names with its audio, and the index of a single-file track.
#include "media/DashIndex.h"
#include "media/DashManifest.h"
#include "media/HlsMaster.h"
#include "media/HlsMedia.h"
#include "media/StreamRecognition.h"
#include "transfer/StreamJob.h"

namespace mf {
namespace {

constexpr int64_t kMaxIndexBytes = 16 << 20;

}  // namespace

bool StreamJob::Refuse(const media::ReadFailure& failure) {
  Fail({.failure = failure.kind == media::FailureKind::Unreadable ? StreamEvent::Unreadable
                                                                  : StreamEvent::Refused,
        .reason = failure.message});
  return false;
}

bool StreamJob::FetchFailed(const FetchOutcome& outcome, const std::wstring& what) {
  if (stop_) return false;
  Fail({.failure = outcome.Passing() ? StreamEvent::Passing : StreamEvent::Unreadable,
        .reason = what + L" could not be fetched" +
                  (outcome.reason.empty() ? L"." : L": " + outcome.reason),
        .status = outcome.status,
        .retryAfter = outcome.retryAfter});
  return false;
}

bool StreamJob::ReadPlan() {
  StreamFetch fetch(halt_, {request_.connectTimeoutMs, request_.idleTimeoutMs}, *request_.proxy);
  std::string text;
  const FetchOutcome answer = fetch.GetText(request_.url, {}, text, media::kMaxManifestBytes);
  if (!answer.ok) return FetchFailed(answer, L"The playlist");
  playlistUrl_ = answer.finalUrl;
  switch (media::ManifestKindOfText(text)) {
    case media::ManifestKind::HlsMaster:
      return ReadHlsMaster(text, playlistUrl_);
    case media::ManifestKind::HlsMedia: {
      media::ReadResult<media::Track> track = media::ReadHlsMedia(text, playlistUrl_);
      if (!track) return Refuse(track.Failure());
      plan_.tracks.push_back(std::move(*track));
      return true;
    }
    case media::ManifestKind::Dash:
      return ReadDash(text, playlistUrl_);
    case media::ManifestKind::Neither:
      break;
  }
  return Refuse(media::Unreadable(kUnreadablePlaylist));
}

bool StreamJob::ReadHlsMaster(const std::string& text, const std::wstring& url) {
  media::ReadResult<media::HlsMaster> master = media::ReadHlsMaster(text, url);
  if (!master) return Refuse(master.Failure());
  const media::HlsChoice choice = media::ChooseHlsVariant(*master, request_.quality);
  std::optional<media::Track> variant = ReadHlsTrack(choice.variant.url);
  if (!variant) return false;
  std::optional<media::Track> audio;
  if (choice.audio && !(audio = ReadHlsTrack(choice.audio->url))) return false;
  plan_ = media::HlsPlan(choice, std::move(*variant), std::move(audio));
  return true;
}

std::optional<media::Track> StreamJob::ReadHlsTrack(const std::wstring& url) {
  StreamFetch fetch(halt_, {request_.connectTimeoutMs, request_.idleTimeoutMs}, *request_.proxy);
  std::string text;
  const FetchOutcome answer = fetch.GetText(url, {}, text, media::kMaxManifestBytes);
  if (!answer.ok) return FetchFailed(answer, L"A media playlist"), std::nullopt;
  media::ReadResult<media::Track> track = media::ReadHlsMedia(text, answer.finalUrl);
  if (!track) return Refuse(track.Failure()), std::nullopt;
  return std::move(*track);
}

bool StreamJob::ReadDash(const std::string& text, const std::wstring& url) {
  media::ReadResult<media::StreamPlan> plan = media::ReadDashManifest(text, url, request_.quality);
  if (!plan) return Refuse(plan.Failure());
  StreamFetch fetch(halt_, {request_.connectTimeoutMs, request_.idleTimeoutMs}, *request_.proxy);
  for (media::Track& track : plan->tracks) {
    if (!media::NeedsIndex(track)) continue;
    std::string index;
    const FetchOutcome answer =
        fetch.GetText(track.indexUrl, track.indexRange, index, kMaxIndexBytes);
    if (!answer.ok) return FetchFailed(answer, L"The segment index");
    media::ReadResult<media::Track> read = media::TrackFromIndex(std::move(track), index);
    if (!read) return Refuse(read.Failure());
    track = std::move(*read);
  }
  plan_ = std::move(*plan);
  return true;
}

}  // namespace mf
