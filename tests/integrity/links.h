#pragma once
// Symbolic links for the tests. Wine cannot make them through CreateSymbolicLinkW, so the tests make
// them on the Unix side of Wine (ln -s), where a directory link shows the reparse-point attribute.

#include <string>

namespace tovrak::test {

// Makes `link` a symbolic link to the directory `target`; false when the platform cannot make one that
// shows FILE_ATTRIBUTE_REPARSE_POINT.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target);
// Makes `link` a symbolic link to the file `target`; false when no such link can be made.
bool MakeFileLink(const std::wstring& link, const std::wstring& target);
// Creates an empty file whose name may be one Windows itself refuses or folds (case-sensitive
// directories, "con.txt"); false when the platform has no Unix side.
bool MakeFileOnUnixSide(const std::wstring& path);

}  // namespace tovrak::test
