// The four lookups on arbitrary answer text from QuickBooks: the first byte picks
// the lookup, the rest is the answer. Each must end in exactly one launch or one
// "Error" box.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "events/lookups.h"
#include "app/app.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "qb/session.h"

using namespace marlet;

namespace {

std::string gAnswer;

struct RequestProcessor : AutoObject {
    Value call(const std::string& member, const std::vector<Value>&) override {
        if (member == "BeginSession") return std::string("ticket");
        if (member == "ProcessRequest") return gAnswer;
        return {};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    gAnswer.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    const int route = data[0] % 4;
    fake::World& w = fake::install();
    w.classes[kRequestProcessorProgID] = [] { return std::make_unique<RequestProcessor>(); };
    w.programs.insert("PATH\\Dorvex.exe");
    w.inputAnswers.push_back("typed memo");
    gOptions = std::make_unique<cmOptions>();
    gOptions->promptMemo = true;

    void (*const lookups[])(const cmOptions&, const std::string&, const std::string&) = {
        scanTransaction, retrieveTransaction, scanCustomer, retrieveCustomer};
    lookups[route](*gOptions, "80000001-1234567890", "C:\\Co.qbw");  // reports every failure itself: nothing escapes

    if (w.boxes.size() + w.started.size() != 1) abort();
    if (!w.boxes.empty() && (w.boxes[0].title != "Error" || w.boxes[0].style != BoxStyle::Exclamation ||
                             w.boxes[0].text.empty()))
        abort();
    // The memo prompt comes only for a customer scan, and only once.
    if (!w.inputs.empty() && (route != 2 || w.inputs.size() != 1)) abort();
    return 0;
}
