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

// A free drive letter that names `directory` while the object lives; root() ("Q:\\") is empty when the
// platform cannot map one. Wine ignores DefineDosDeviceW, so there the letter is made in the prefix's
// table of drives.
class MappedDrive {
  public:
    explicit MappedDrive(const std::wstring& directory);
    ~MappedDrive();
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;
    const std::wstring& root() const { return root_; }

  private:
    std::wstring directory_;
    std::wstring root_;
    std::string unixLink_;  // set when the drive was made on the Unix side
};

}  // namespace tovrak::test
