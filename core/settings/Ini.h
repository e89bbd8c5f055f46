#pragma once
// A small INI file reader and writer that behaves like the Windows profile
// functions (GetPrivateProfileStringA, GetPrivateProfileIntA,
// WritePrivateProfileStringA), so that settings files written by either
// program read the same in both.
//
// Names and values are bytes (code page 932 text, file-system names) and are
// never converted.
//
// Reading:
//  - section and key names match regardless of ASCII letter case (bytes of a
//    double-byte character are compared exactly);
//  - spaces and tabs around names in the file are ignored; names passed in
//    lose their surrounding spaces;
//  - a value loses its surrounding spaces and tabs, then one pair of matching
//    quotes (' or ") around the whole of it;
//  - a line whose first non-blank byte is ';' is a comment; nothing else is
//    (no inline comments, '#' is ordinary text);
//  - lines before the first section header belong to no section;
//  - the first of duplicate keys wins; only the first of duplicate sections
//    is searched;
//  - CR, LF and CR LF all end a line.
// Writing changes only the bytes that must change: an existing key keeps its
// line, place and letter case; a new key goes after the last key line of its
// section; a new section goes at the end of the file. New lines end in CR LF.
// Values that reading would alter are written in double quotes, so that every
// value written reads back byte for byte.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vz::ini {

// --- On the text of a file -------------------------------------------------

// The value of `key` in `section` of `text`, or nullopt when the section or
// the key is missing.
std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key);

// `text` with `key` in `section` set to `value`, or nullopt when the names or
// the value cannot be stored so that they read back: an empty name, a name
// with a tab at either end, a line break or NUL anywhere, '=' in a key, a key
// starting with ';' or '['.
std::optional<std::string> WithValue(std::string_view text, std::string_view section, std::string_view key,
                                     std::string_view value);

// Cuts `value` to what a buffer of `bufSize` bytes holds with its terminating
// NUL: at most bufSize - 1 bytes, and never half of a double-byte character.
std::string FitBuffer(std::string value, std::size_t bufSize);

// Reads a decimal integer as the profile functions do: blanks were already
// trimmed; an optional sign, then digits up to the first other byte ("12abc"
// gives 12, "abc" gives 0); the result wraps modulo 2^32.
std::int32_t ParseInt(std::string_view value);

// --- On a file -------------------------------------------------------------

// The largest settings file read or written: a larger one is read as if it
// were missing and never replaced, and costs no more than a look at its size.
inline constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

// The file's whole text; nullopt when it cannot be read, with the reason in
// `err` (as TryReadRegularFile gives it; EFBIG above kMaxFileBytes).
std::optional<std::string> ReadFileText(const std::string& path, int& err);

// GetPrivateProfileStringA: the value fitted to `bufSize` bytes, or `def`
// (also fitted) when the file, the section or the key is missing or the file
// cannot be read.
std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view def, std::size_t bufSize);

// GetPrivateProfileIntA: the value read by ParseInt, or `def` when the file,
// the section or the key is missing or the value is empty.
std::int32_t ReadInt(const std::string& path, std::string_view section, std::string_view key,
                     std::int32_t def);

// WritePrivateProfileStringA: sets the value, creating the file and the
// section when missing, and replaces the file atomically. Returns false, and
// leaves the file as it was, when the file exists but cannot be read, cannot
// be replaced, or the value cannot be stored (see WithValue).
bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value);

// Several writes in one replacement of the file: `edit` gets the file's text
// (empty for a new file), changes it with WithValue, and says whether every
// change it wanted could be made; so does Edit. The file is replaced once,
// also when some change could not be made. When it exists but cannot be
// read, or cannot be replaced, it is left as it was and the Error that says
// why (the file's name and the system's reason) is raised. Another copy of
// the program editing the same file waits until this edit is done (WriterLock).
bool Edit(const std::string& path, const std::function<bool(std::string& text)>& edit);

}  // namespace vz::ini
