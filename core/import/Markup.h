#pragma once
// What is left of markup in the fields other programs export: HTML tags and
// entities, sound references, and numeric character references.
#include <cstddef>
#include <string>
#include <string_view>

namespace vz::import {

// Drops sound references "[sound:...]" as note-taking programs export them,
// and with `markup` HTML too: tags go (<br>, <div> and <p> become a space, so
// that lines do not run together; <img> leaves nothing), and entities become
// their characters. Blanks that meet where something was removed become one.
std::string StripHtml(std::string_view text, bool markup);

// Appends the UTF-8 form of `code` (U+FFFD when it is no character).
void AppendUtf8(std::string& out, unsigned long code);

// When `text` starts with an entity ("&amp;", "&#233;"), appends its
// character and returns the entity's length; else returns 0.
std::size_t AppendEntityAt(std::string_view text, std::string& out);

// The character of an HTML or XML entity body ("amp", "#233", "#xE9"), as
// UTF-8; empty when it is not one.
std::string EntityText(std::string_view body);

}  // namespace vz::import
