// The menu listener on arbitrary event text, against the fake platform. The
// lookups are replaced by recorders here, so what is checked is the parse and the
// dispatch: a parse failure reaches the caller with nothing done, and a parsed
// event does at most the one thing its tag allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "events/lookups.h"
#include "events/event_queue.h"
#include "events/qb_menu_listener.h"
#include "app/app.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "qb/qb_events.h"

using namespace marlet;

namespace {

struct Lookup {
    std::string routine, id;
};
std::vector<Lookup> gLookups;
int gStartDocs = 0;

struct FileTools : AutoObject {
    Value call(const std::string& member, const std::vector<Value>& args) override {
        if (member != "StartDoc" || args.size() != 1 ||
            std::get<std::string>(args[0]) != "C:\\Marlet\\QBManual.pdf")
            abort();
        gStartDocs++;
        return {};
    }
};

}  // namespace

namespace marlet {
void scanTransaction(const cmOptions&, const std::string& id, const std::string&) { gLookups.push_back({"scanTransaction", id}); }
void retrieveTransaction(const cmOptions&, const std::string& id, const std::string&) { gLookups.push_back({"retrieveTransaction", id}); }
void scanCustomer(const cmOptions&, const std::string& id, const std::string&) { gLookups.push_back({"scanCustomer", id}); }
void retrieveCustomer(const cmOptions&, const std::string& id, const std::string&) { gLookups.push_back({"retrieveCustomer", id}); }
}  // namespace marlet

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fake::World& w = fake::install();
    w.programs.insert("PATH\\Dorvex.exe");
    w.files["C:\\Marlet\\dxqb.ini"] = "";
    gOptions = std::make_unique<cmOptions>();
    gFileTools = std::make_unique<FileTools>();
    gLookups.clear();
    gStartDocs = 0;
    std::string xml(reinterpret_cast<const char*>(data), size);

    int32_t parseFailure = 0;
    EventsMsgSet set;
    try {
        set = toEventsMsgSet(xml);
    } catch (const Error& e) {
        parseFailure = e.number();
        if (e.description().empty()) abort();
    }
    int32_t informFailure = 0;
    try {
        QBMenuListener().inform(xml);
    } catch (const Error& e) {
        informFailure = e.number();
    }
    if (informFailure && !menuEvents().idle()) abort();  // nothing waits after an unreadable event
    menuEvents().runWaiting();
    size_t effects = w.boxes.size() + w.started.size() + gLookups.size() +
                     static_cast<size_t>(w.optionsDialogsShown + gStartDocs);
    if (parseFailure) {
        if (informFailure != parseFailure || effects != 0) abort();
        return 0;
    }
    if (informFailure) abort();  // the fake has Dorvex and the file tools: nothing may fail
    if (!set.uiExtensionEvent) {
        if (effects) abort();
        return 0;
    }
    const UIExtensionEvent& e = *set.uiExtensionEvent;
    const std::string& tag = e.eventTag;
    if (tag == "scan") {
        if (effects > 1 || !w.started.empty()) abort();
        if (!w.boxes.empty() && (w.boxes[0].text != "Please open a customer or recorded transaction." ||
                                 w.boxes[0].title != "Information not found" || w.boxes[0].style != BoxStyle::OkOnly))
            abort();
    } else if (tag == "retrieve") {
        if (effects > 1 || !w.boxes.empty()) abort();
        if (!w.started.empty() && w.started[0].commandLine != "Dorvex.exe /c:\"qbretrieve.dxc\"") abort();
    } else if (tag == "options") {
        if (w.optionsDialogsShown != 1 || effects != 1) abort();
    } else if (tag == "manual") {
        if (gStartDocs != 1 || effects != 1) abort();
    } else if (effects) {
        abort();
    }
    // A lookup gets the identifier exactly as the event carries it.
    for (const Lookup& l : gLookups) {
        bool customer = l.routine.find("Customer") != std::string::npos;
        const auto& window = *e.currentWindow;
        const std::optional<std::string>& id = customer ? window.list->listID : window.txn->txnID;
        if (!id || *id != l.id) abort();
        if (customer && window.list->listType != "Customer") abort();
        if (l.routine.rfind(tag, 0) != 0) abort();  // scan… for "scan", retrieve… for "retrieve"
    }
    return 0;
}
