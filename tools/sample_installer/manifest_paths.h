#pragma once
// The relative paths that a payload manifest lists. The library verifies against the manifest; the
// worker reads only its paths, to name the file that failed and to remove what it installed.

#include <string>
#include <vector>

namespace sample {

// The paths in the manifest's spelling ("docs/handover.txt"), in its order; false when the file
// cannot be read or is no manifest.
bool ReadManifestPaths(const std::wstring& manifest, std::vector<std::wstring>& paths);

}  // namespace sample
