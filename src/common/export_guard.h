#pragma once
// Nothing is thrown across an export. Code inside an export may still allocate through the standard
// library; an allocation failure there is turned into the export's failure result here.
//
// Every export has one shape: `extern "C" <type> TOVRAK_CALL Name(...) noexcept` whose body hands its
// arguments to one named routine through GuardExport (or GuardExportVoid), so that the routine may be
// written as ordinary code and the boundary is visible in one line.

#include <functional>
#include <new>
#include <utility>

namespace tovrak {

template <typename Result, typename Routine, typename... Arguments>
Result GuardExport(Result onFailure, Routine&& routine, Arguments&&... arguments) noexcept {
    try {
        return std::invoke(std::forward<Routine>(routine), std::forward<Arguments>(arguments)...);
    } catch (...) {
        return onFailure;
    }
}

template <typename Routine, typename... Arguments>
void GuardExportVoid(Routine&& routine, Arguments&&... arguments) noexcept {
    try {
        std::invoke(std::forward<Routine>(routine), std::forward<Arguments>(arguments)...);
    } catch (...) {
    }
}

}  // namespace tovrak
