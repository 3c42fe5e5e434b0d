#pragma once

#include <string>
#include <string_view>

// Path and name helpers shared by both programs. Paths use '/'; a backslash is an ordinary name character.
namespace zov {

// Appends a missing trailing '/'; an empty text stays empty.
void NormalizeDir(std::string& path);
// As NormalizeDir, but an empty text becomes "/".
void NormalizeDirStd(std::string& path);

// The program folder with a trailing '/'.
std::string GetModuleFolder();

// The path (the program folder when it is empty) without one trailing '/', cut after its last '/', with a
// trailing '/': the folder holding it. A text without '/' is kept whole ("name" gives "name/"); "/" gives
// "/".
std::string GetParentFolder(std::string_view path);

// The last level of a path, a trailing '/' ignored ("" for the root).
std::string LastPathLevel(const std::string& path);

// True when the path is not empty and names an existing entry.
bool FileExists(const std::string& path);
// False when the path does not exist; for a folder returns folder, for anything else !folder.
bool PathIsKind(const std::string& path, bool folder);

// True when inner is outer or lies below it, compared component-wise and exactly.
bool IsPathWithin(std::string_view inner, std::string_view outer);

// 0 when either path is empty or they are unrelated, 2 when they name the same path, 1 when one lies
// below the other. Component-wise and exact.
int ComparePaths(std::string_view a, std::string_view b);

// Linux has no reserved file names: false for every name. Callers skip "." and ".." themselves.
bool IsReservedName(std::string_view name);

}  // namespace zov
