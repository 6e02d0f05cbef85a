#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Cuts file bytes into lines. CR LF ends a line; a lone CR and a lone LF do too (files edited
// by hand on this system). The terminator is not part of the value, an empty line is an empty
// value, and a last line without terminator still counts.
std::vector<std::string> SplitLines(std::string_view bytes);

// True when the bytes are empty or end with a line terminator, so that appending a line
// cannot glue it to the last one.
bool EndsWithTerminator(std::string_view bytes);

// Every line followed by CR LF: the form this store always writes.
std::string JoinLines(const std::vector<std::string> &lines);

// The bytes with the value of line `index` (from 0) replaced; every other byte stays, line ends
// included. Lines missing up to `index` are added empty, each ending in CR LF, and so is the
// replaced line when it had no terminator.
std::string ReplaceLine(std::string_view bytes, std::size_t index, std::string_view value);

} // namespace velmora
