#include "platform/platform.h"

namespace marlet {
const Platform* gPlatform = nullptr;
}
