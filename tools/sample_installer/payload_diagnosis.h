#pragma once
// When the payload as a whole does not verify, the file to blame, so that the failure can name it.

#include <string>

namespace sample {

// The first file the manifest lists that does not verify by itself (changed or missing), or else the
// first file of the payload that the manifest does not list; relative, in the manifest's spelling.
// Empty when no single file is to blame (an unreadable manifest, a link in the tree).
std::wstring FindRejectedPayloadFile(const std::wstring& payload, const std::wstring& manifest);

}  // namespace sample
