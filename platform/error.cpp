#include "platform/error.h"

namespace marlet {

std::string genericErrorText(const Error& e) {
    return std::to_string(e.number()) + ": " + e.description();
}

}  // namespace marlet
