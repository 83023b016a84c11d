// The reader of QuickBooks' answers, and the lookups that use it, on arbitrary
// answer text. The first byte picks the route; the rest is the answer.
//   0..3  one of the four lookups, against a request processor that answers with
//         the text: it must end in exactly one launch or one "Error" box.
//   other the response set read directly: every response and record walked.
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
#include "qb/qbxml_response.h"
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

void walk(const std::string& xml) {
    try {
        MsgSetResponse set(xml);
        for (int i = 0; i < set.Count(); i++) {
            const Response& r = set.GetAt(i);
            for (int j = 0; j < r.DetailCount(); j++) {
                Record rec = r.Detail(j);
                for (const char* path : {"FullName", "EntityRef/FullName", "TxnType", "RefNumber", "Memo"}) {
                    std::string v = rec.GetValue(path);
                    if (!rec.has(path) && !v.empty()) abort();  // absent reads as ""
                }
            }
            try {
                r.Detail(r.DetailCount());
                abort();  // beyond the last record is a failure
            } catch (const Error& e) {
                if (e.number() != kErrNoRecord) abort();
            }
        }
    } catch (const Error& e) {
        if (e.description().empty()) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    gAnswer.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] >= 4) {
        walk(gAnswer);
        return 0;
    }
    fake::World& w = fake::install();
    w.classes[kRequestProcessorProgID] = [] { return std::make_unique<RequestProcessor>(); };
    w.programs.insert("PATH\\Dorvex.exe");
    w.inputAnswers.push_back("typed memo");
    gOptions = std::make_unique<cmOptions>();
    gOptions->promptMemo = true;

    void (*const lookups[])(const std::string&) = {scanTransaction, retrieveTransaction,
                                                   scanCustomer, retrieveCustomer};
    lookups[data[0]]("80000001-1234567890");  // reports every failure itself: nothing escapes

    if (w.boxes.size() + w.started.size() != 1) abort();
    if (!w.boxes.empty() && (w.boxes[0].title != "Error" || w.boxes[0].style != kExclamation ||
                             w.boxes[0].text.empty()))
        abort();
    // The memo prompt comes only for a customer scan, and only once.
    if (!w.inputs.empty() && (data[0] != 2 || w.inputs.size() != 1)) abort();
    return 0;
}
