#pragma once
// The words of the movie format for its enumerations, shared by the reader
// and the writer.
#include <utility>

#include "controls/player/MovieFormat.h"

namespace mf::movie {

inline constexpr std::pair<const wchar_t*, ElementKind> kKinds[] = {
    {L"box", ElementKind::Box},       {L"label", ElementKind::Label},
    {L"button", ElementKind::Button}, {L"check", ElementKind::Check},
    {L"field", ElementKind::Field},   {L"tab", ElementKind::Tab},
    {L"drag", ElementKind::Drag},     {L"panel", ElementKind::Panel}};
inline constexpr std::pair<const wchar_t*, Glyph> kGlyphs[] = {
    {L"none", Glyph::None},      {L"minimize", Glyph::Minimize},
    {L"close", Glyph::Close},    {L"tray", Glyph::Tray},
    {L"up", Glyph::Up},          {L"down", Glyph::Down},
    {L"plus", Glyph::Plus},      {L"cross", Glyph::Cross},
    {L"tick", Glyph::Tick},      {L"play", Glyph::Play},
    {L"stop", Glyph::Stop},      {L"folder", Glyph::Folder},
    {L"gear", Glyph::Gear},      {L"help", Glyph::Help},
    {L"globe", Glyph::Globe},    {L"maximize", Glyph::Maximize},
    {L"restore", Glyph::Restore}};
inline constexpr std::pair<const wchar_t*, unsigned> kAnchors[] = {{L"left", kAnchorLeft},
                                                                   {L"top", kAnchorTop},
                                                                   {L"right", kAnchorRight},
                                                                   {L"bottom", kAnchorBottom}};
inline constexpr std::pair<const wchar_t*, Align> kAligns[] = {
    {L"left", Align::Left}, {L"center", Align::Center}, {L"right", Align::Right}};
inline constexpr std::pair<const wchar_t*, VAlign> kVAligns[] = {
    {L"top", VAlign::Top}, {L"middle", VAlign::Middle}, {L"bottom", VAlign::Bottom}};
inline constexpr std::pair<const wchar_t*, Trim> kTrims[] = {
    {L"none", Trim::None}, {L"end", Trim::End}, {L"path", Trim::Path}};
inline constexpr std::pair<const wchar_t*, Slide> kSlides[] = {{L"bottom", Slide::Bottom},
                                                               {L"top", Slide::Top},
                                                               {L"left", Slide::Left},
                                                               {L"right", Slide::Right}};
// Attribute prefixes of a look's states, in LookState order.
inline constexpr const wchar_t* kStatePrefix[] = {L"", L"hover-", L"down-", L"off-", L"on-"};

template <typename E, size_t N>
const wchar_t* WordOf(const std::pair<const wchar_t*, E> (&choices)[N], E value) {
  for (const auto& [word, v] : choices)
    if (v == value) return word;
  return L"";
}

}  // namespace mf::movie
