// The factories of marlet.exe's COM classes, beside the classes' registry facts
// (com/com_classes.h), and each class's GUID made from its registry text.
#include "com/com_classes_win32.h"

#include <iterator>
#include <string>

#include "app/log.h"
#include "com/com_object_win32.h"
#include "platform/win32/win32_util.h"

namespace marlet::com {

namespace {

constexpr CLSID clsidOf(const ComClassFacts& c) {
    const GuidNumbers g = guidNumbers(c.clsid);
    return {g.data1, g.data2, g.data3,
            {g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]}};
}

constexpr ComClass row(const ComClassFacts& c, HRESULT (*create)(REFIID, void**)) {
    return {&c, clsidOf(c), create};
}

}  // namespace

constexpr ComClass kClasses[kClassCount] = {
    row(kComClasses[0], createListener),
    row(kComClasses[1], createOptions),
};

// Each class of the table once, in its order, each with the factory of its own kind.
consteval bool rowsFollowTheTable() {
    for (size_t i = 0; i < kClassCount; i++)
        if (kClasses[i].facts != &kComClasses[i]) return false;
    return kComClasses[0].progId == kListenerProgID && kComClasses[1].progId == kOptionsProgID;
}
static_assert(rowsFollowTheTable(), "kClasses must follow kComClasses row by row");

void logFailedCall(const char* call, HRESULT hr) {
    logLine(std::string(call) + " failed: " + supportErrorText(hresultError(hr)));
}

void logFailedWin32Call(const char* call, LONG code) {
    logFailedCall(call, HRESULT_FROM_WIN32(static_cast<DWORD>(code)));
}

}  // namespace marlet::com
