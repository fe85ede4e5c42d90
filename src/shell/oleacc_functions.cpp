#include "shell/oleacc_functions.h"

#include "common/system_library.h"

namespace tovrak {
namespace {

constinit SystemLibrary library(L"oleacc.dll");
constinit SystemFunction<LresultFromObjectFn> lresultFromObject(library, "LresultFromObject");
constinit SystemFunction<CreateStdAccessibleObjectFn> createStdAccessibleObject(library,
                                                                                "CreateStdAccessibleObject");

OleaccFunctions LoadOleacc() noexcept {
    OleaccFunctions functions;
    functions.lresultFromObject = lresultFromObject.get();
    functions.createStdAccessibleObject = createStdAccessibleObject.get();
    return functions;
}

}  // namespace

const OleaccFunctions& Oleacc() noexcept {
    // Everything runs on the host's UI thread; a function-local static is still initialised once
    // whichever thread asks first.
    static const OleaccFunctions functions = LoadOleacc();
    return functions;
}

}  // namespace tovrak
