#pragma once
// The check of one file of a payload against its manifest entry.

#include "common/wide_string.h"
#include "integrity/manifest.h"
#include "integrity/sha256.h"

namespace tovrak {

// Result codes shared by the verification exports.
enum VerificationResult : int {
    kVerified = 0,
    kManifestInvalid = 1,
    kTreeMismatch = 2,
    kContentMismatch = 3,
    kVerificationIoFailure = 4,
};

// Checks that `fullPath` is a plain file; with an entry, also that its size and SHA-256 digest match,
// reporting progress while it reads and marking the entry verified. Returns 0, 2, 3 or 4.
int VerifyPayloadFile(ManifestEntry* entry, const WideString& fullPath, HashContext& context);

}  // namespace tovrak
