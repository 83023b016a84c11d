#include "platform/error.h"

#include <cstdio>
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

std::string errorNumberText(int32_t number) {
    if (number >= 0) return std::to_string(number);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(number)));
    return std::string(hex) + " (" + std::to_string(number) + ")";
}

std::string supportErrorText(const Error& e) { return errorNumberText(e.number()) + ": " + e.description(); }

}  // namespace marlet
