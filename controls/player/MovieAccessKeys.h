#pragma once
// Access keys of a movie's elements, chosen by the player from their
// captions, since a movie names none: buttons, tabs and tick boxes take one,
// and so does a label right before a field (its key moves to the field), as
// a dialog's static text does.
#include <map>

#include "controls/player/MovieFormat.h"

namespace mf::movie {

// Element index -> the place in its text of its key's letter. No two
// elements that can show together (on the same page, or on every page) share
// a letter, in either case; the first letter of a word is taken before the
// others. Elements earlier in the movie choose first; a text with
// placeholders takes none.
std::map<size_t, size_t> AssignAccessKeys(const Movie& movie);

}  // namespace mf::movie
