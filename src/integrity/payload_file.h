#pragma once
// The check of one file of a payload against its manifest entry.

#include "common/wide_string.h"
#include "integrity/manifest.h"
#include "integrity/sha256.h"
#include "tovrak/renderer.h"

namespace tovrak {

// The verification exports' results under the names the walk uses.
enum VerificationResult : int {
    kVerified = PayloadVerified,
    kManifestInvalid = PayloadManifestUnusable,
    kTreeMismatch = PayloadTreeMismatch,
    kContentMismatch = PayloadContentMismatch,
    kVerificationIoFailure = PayloadReadFailure,
};

// Checks that `fullPath` is a plain file; with an entry, also that its size and SHA-256 digest match,
// reporting progress while it reads and marking the entry verified. Returns 0, 2, 3 or 4.
int VerifyPayloadFile(ManifestEntry* entry, const WideString& fullPath, HashContext& context);

}  // namespace tovrak
