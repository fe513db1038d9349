#pragma once
// Package entry names and relationship targets as plain UTF-8 text. Entry names
// use '/' only; a '\' written by some producers is read as '/' before anything
// else, so a target resolves the same on every platform and no code page or
// file-system library is involved. The rules are the lexical ones of POSIX
// paths: nothing is looked up.

#include <string>
#include <string_view>

namespace vex::entry_path {

// The text with every '\' turned into '/'.
std::string to_slashes(std::string_view path);

// rel below base; an absolute rel (leading '/') stands alone, an empty side
// gives the other.
std::string join(std::string_view base, std::string_view rel);

// Everything before the last '/', without it; empty when there is none.
std::string_view parent(std::string_view path) noexcept;
// Everything after the last '/'.
std::string_view file_name(std::string_view path) noexcept;
// What follows the last '.' of the file name, without the dot. "." and "..",
// and a name whose only '.' is its first character, have none.
std::string_view extension(std::string_view path) noexcept;
// The path with the extension of its file name replaced by ext (with its dot,
// or empty to drop it).
std::string replace_extension(std::string_view path, std::string_view ext);

// Lexical normal form: repeated '/' folded, "." segments dropped, a segment
// followed by ".." removed with it, ".." right after a leading '/' dropped. An
// empty result is ".".
std::string normalize(std::string_view path);

// The path that leads from directory base to target, both taken in normal
// form; "." when they are the same, empty when there is none (one is absolute
// and the other not, or base climbs above where it starts).
std::string relative(std::string_view target, std::string_view base);

// The entry a relationship target names from the part stored as source (empty
// for the package's own relationships): a leading '/' starts at the package
// root, anything else at the source's folder. Empty when the target climbs
// above the package root, which no entry can be.
std::string resolve_target(std::string_view source, std::string_view target);

// The form in which two part names are one: each %XX escape decoded, but
// those of '/' and '\' (they would make segments of their own), and ASCII
// letters in lower case. A name stored either way, "s%C3%A4.xml" or "sä.xml"
// in UTF-8, has one key.
std::string part_name_key(std::string_view name);

} // namespace vex::entry_path
