// Path shaping on ANSI text, without touching the file system. The separator
// is the backslash; in a double-byte code page a backslash byte may also be
// the second half of a character, and such a byte is never taken for a
// separator. Which bytes start a double-byte character is a fact of the
// running system, so callers on Windows pass its lead-byte test and
// everything else gets the single-byte answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

using LeadBytePredicate = bool (*)(unsigned char);

// The single-byte code pages: no byte starts a double-byte character.
bool NoLeadBytes(unsigned char);

// Drops one trailing backslash from a path longer than 2 characters, then,
// with `addBackslash`, appends one: C: and C:\ both give C:\ with the flag;
// without it C:\ gives C:.
std::string NormalizeDir(std::string_view path, bool addBackslash, LeadBytePredicate isLead = NoLeadBytes);

// The file name part of a path: what follows the last backslash, slash or
// drive colon.
std::string FileNamePart(std::string_view path, LeadBytePredicate isLead = NoLeadBytes);

// What comes before the file name part, without its trailing backslash:
// C:\Tools\run.exe gives C:\Tools, C:\run.exe gives C:, run.exe nothing.
std::string DirectoryPart(std::string_view path, LeadBytePredicate isLead = NoLeadBytes);

// The file name part without its last extension; with `stripAll`, without
// any (a.tar.gz gives a.tar, or a).
std::string GetBaseName(std::string_view path, bool stripAll, LeadBytePredicate isLead = NoLeadBytes);

// "\" alone gives the empty text; otherwise one trailing backslash goes from
// a path longer than 1 character.
std::string RemoveTrailingSlash(std::string_view path, LeadBytePredicate isLead = NoLeadBytes);

// Reduces doubled backslashes to one behind the first character, so a UNC
// path keeps its two leading ones; when the path starts and ends with the same
// character (a quoted path, or a self-delimited list of paths), a pair right
// after each occurrence of that character is kept too.
std::string CollapseSlashes(std::string_view path, bool removeTrailing, LeadBytePredicate isLead = NoLeadBytes);

// Turns forward slashes in `path` into backslashes and returns the root to ask
// about the drive: with `forceLetter`, or for a path shorter than 3
// characters, the first letter upper-cased + ":\" (d gives D:\); otherwise
// the path up to its first backslash from the fourth character on
// (C:\Data\Sub gives C:\Data). An empty path gives the empty text.
std::string GetDriveRoot(std::string& path, bool forceLetter, LeadBytePredicate isLead = NoLeadBytes);

// Whether the path names a whole drive or share (C:, C:\, \, \\server\share)
// or nothing at all, where deleting "everything below" would reach far
// beyond what any caller means. Relative parts such as ".." are not
// resolved here.
bool IsRootPath(std::string_view path, LeadBytePredicate isLead = NoLeadBytes);

// Block size for writing `total` bytes in about ten steps: at least 1024 bytes
// (or the whole when shorter), at most `largest`.
uint64_t ChooseBlockSize(uint64_t largest, uint64_t total);

}  // namespace tarnix
