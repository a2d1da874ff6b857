// UTF-8 text helpers: conversion to UTF-16 for the places that hand text to
// interfaces counted in UTF-16 code units, and cuts that never split a
// character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nbr {

// UTF-16 text of UTF-8 text. Every ill-formed sequence (stray continuation
// byte, truncated sequence, overlong form, encoded surrogate, value above
// U+10FFFF) becomes one U+FFFD per maximal ill-formed subpart, so the rest
// of the text survives.
std::u16string utf8ToWide(std::string_view utf8);

// UTF-8 text of UTF-16 text; a lone surrogate becomes U+FFFD.
std::string wideToUtf8(std::u16string_view wide);

// The longest prefix of `text` that is at most `maxUnits` code units long and
// does not end between the two halves of a surrogate pair.
std::u16string utf16Cut(std::u16string_view text, std::size_t maxUnits);

// The largest length <= maxBytes at which `text` can be cut without splitting
// a UTF-8 sequence: the cut moves back over continuation bytes to the start of
// the character they belong to. Bytes that are not valid UTF-8 count as
// characters of their own.
std::size_t utf8CutPoint(std::string_view text, std::size_t maxBytes);

// `text` cut to at most maxBytes bytes on a character boundary.
std::string utf8Cut(std::string_view text, std::size_t maxBytes);

// Copies `text` into the fixed buffer `dst` of `dstSize` bytes, cut on a
// character boundary so that it fits with its terminating zero. Does nothing
// when dstSize is 0.
void utf8CopyToBuffer(char* dst, std::size_t dstSize, std::string_view text);

}  // namespace nbr
