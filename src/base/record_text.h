// Fixed-width text fields of the configuration and port records: texts are stored without
// surrounding blanks and cut to the field's width in characters.
#pragma once
#include <cstddef>
#include <string>

namespace tv {

// Removes leading and trailing blanks (spaces, tabs, CR, LF).
std::string TrimBlanks(const std::string& s);
// Cuts `s` at its first NUL character.
std::string CutAtFirstNul(const std::string& s);
// Trims `s` and cuts it to `width` characters (UTF-8 aware: never splits a character).
std::string FitText(const std::string& s, std::size_t width);

}  // namespace tv
