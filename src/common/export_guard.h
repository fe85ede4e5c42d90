#pragma once
// Nothing is thrown across an export. Code inside an export may still allocate through the standard
// library; an allocation failure there is turned into the export's failure result here.

#include <new>

namespace tovrak {

template <typename Result, typename Body>
Result GuardExport(Result onFailure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

template <typename Body>
void GuardExportVoid(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace tovrak
