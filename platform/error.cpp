#include "platform/error.h"

#include <new>

namespace marlet {

Error caughtError() {
    try {
        throw;
    } catch (const Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return Error(kErrOutOfMemory, "Out of memory");
    } catch (const std::exception& e) {
        return Error(kErrInternal, std::string("Internal error: ") + e.what());
    }
}

std::string genericErrorText(const Error& e) {
    return std::to_string(e.number()) + ": " + e.description();
}

}  // namespace marlet
