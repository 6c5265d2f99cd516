#pragma once
// Direct links to video and audio files: no page to fetch, the address is
// the file's own.
#include <string_view>

namespace mf {

// Whether the address's path ends in a media file's extension (.mp4 .m4v
// .webm .mkv .mov .flv .avi .ogv .mp3 .m4a .ogg .opus .wav .ts), in any letter
// case; the query and the fragment do not count, nor does a host name.
bool IsMediaLink(std::wstring_view address);

// Whether a file name ends in one of those extensions: a file the shell may
// open by itself (a video plays; a program or a shortcut would run).
bool IsMediaFileName(std::wstring_view name);

// Whether the address's path ends in ".m3u8" or ".mpd": a stream's playlist
// or manifest, saved as one movie.
bool IsStreamLink(std::wstring_view address);

// Whether an answer to a page request is a video itself: a video, audio or
// stream type, or a final address (after redirects) that is a media or
// stream link. Such an answer is downloaded from that address, never read
// as a page.
bool IsMediaAnswer(std::wstring_view contentType, std::wstring_view finalAddress);

}  // namespace mf
