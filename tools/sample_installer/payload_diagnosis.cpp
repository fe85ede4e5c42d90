#include "payload_diagnosis.h"

#include <windows.h>

#include <vector>

#include <tovrak/renderer.h>

#include "file_tree.h"
#include "manifest_paths.h"

namespace sample {
namespace {

// Manifest paths compare as Windows compares file names: without regard to case.
bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool Listed(const std::vector<std::wstring>& listed, const std::wstring& path) {
    for (const std::wstring& entry : listed)
        if (SamePath(entry, path)) return true;
    return false;
}

}  // namespace

std::wstring FindRejectedPayloadFile(const std::wstring& payload, const std::wstring& manifest) {
    std::vector<std::wstring> listed;
    if (!ReadManifestPaths(manifest, listed)) return {};
    for (const std::wstring& path : listed) {
        const std::wstring file = payload + L"\\" + WindowsSpelling(path);
        if (VerifyPayloadFileIntegrity(file.c_str(), manifest.c_str(), path.c_str()) != PayloadVerified)
            return path;
    }
    FileTree tree;
    if (!ListFileTree(payload, tree)) return {};
    for (const TreeFile& file : tree.files) {
        const std::wstring path = ManifestSpelling(file.relative);
        if (!Listed(listed, path)) return path;
    }
    return {};
}

}  // namespace sample
