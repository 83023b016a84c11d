#include "events/qb_menu_listener.h"

#include "events/event_queue.h"
#include "events/launch.h"
#include "events/lookups.h"
#include "events/options_entry.h"
#include "app/app.h"
#include "app/log.h"
#include "platform/error.h"
#include "qb/session.h"

namespace marlet {

std::unique_ptr<AutoObject> gFileTools;

void QBMenuListener::Class_Initialize() {
    try {
        gFileTools = platform().createObject("Kelvorn.FileTools");
    } catch (...) {
        Error failure = caughtError();
        logLine("the file tools cannot be created: " + genericErrorText(failure));
        menuEvents().push([failure] { reportFatalError(failure.number(), failure.description()); });
        throw failure;
    }
}

namespace {

// What the open window is, in the order the rows are checked.
enum class Window {
    Absent,
    ListWithoutType,
    CustomerWithID,
    OtherList,
    NeitherPart,
    TxnWithoutType,
    TxnWithoutID,
    TxnWithID,
};

enum class Act { Nothing, Message, BareRetrieval, Lookup };

struct Row {
    Window window;
    Act scan;
    Act retrieve;
};

const Row kRows[] = {
    {Window::Absent, Act::Message, Act::BareRetrieval},
    {Window::ListWithoutType, Act::Nothing, Act::Nothing},
    {Window::CustomerWithID, Act::Lookup, Act::Lookup},
    {Window::OtherList, Act::Nothing, Act::BareRetrieval},
    {Window::NeitherPart, Act::Message, Act::BareRetrieval},
    {Window::TxnWithoutType, Act::Nothing, Act::Nothing},
    {Window::TxnWithoutID, Act::Message, Act::BareRetrieval},
    {Window::TxnWithID, Act::Lookup, Act::Lookup},
};

Window classify(const std::optional<CurrentWindow>& window) {
    if (!window) return Window::Absent;
    if (const auto& list = window->list) {
        if (!list->listType) return Window::ListWithoutType;
        if (*list->listType == "Customer" && list->listID) return Window::CustomerWithID;
        return Window::OtherList;
    }
    if (const auto& txn = window->txn) {
        if (!txn->txnType) return Window::TxnWithoutType;
        if (!txn->txnID) return Window::TxnWithoutID;
        return Window::TxnWithID;
    }
    return Window::NeitherPart;
}

void scanOrRetrieve(bool scan, const std::optional<CurrentWindow>& window) {
    Window kind = classify(window);
    Act act = Act::Nothing;
    for (const Row& row : kRows)
        if (row.window == kind) act = scan ? row.scan : row.retrieve;

    switch (act) {
    case Act::Nothing:
        break;
    case Act::Message:
        MsgBox("Please open a customer or recorded transaction.", kOkOnly, "Information not found");
        break;
    case Act::BareRetrieval:
        launchRetrieve("", "", "", "");
        break;
    case Act::Lookup:
        if (kind == Window::CustomerWithID) {
            const std::string& id = *window->list->listID;
            scan ? scanCustomer(id) : retrieveCustomer(id);
        } else {
            const std::string& id = *window->txn->txnID;
            scan ? scanTransaction(id) : retrieveTransaction(id);
        }
        break;
    }
}

void openManual() {
    if (!gFileTools) throw Error(kErrObjectNotSet, "Object variable or With block variable not set");
    gFileTools->call("StartDoc", {platform().exeFolder() + "\\QBManual.pdf"});
}

}  // namespace

// What the event says was open, for the log.
static std::string describe(const std::optional<CurrentWindow>& window) {
    auto part = [](const char* kind, const std::optional<std::string>& type, const std::optional<std::string>& id) {
        return std::string(kind) + " " + (type ? *type : "(no type)") + (id ? " " + *id : " (no ID)");
    };
    if (!window) return "nothing";
    if (window->list) return part("list", window->list->listType, window->list->listID);
    if (window->txn) return part("transaction", window->txn->txnType, window->txn->txnID);
    return "a window the event does not describe";
}

// What a tag of Marlet's leads to; nullptr for any other tag.
using Action = void (*)(const std::optional<CurrentWindow>& window);

static Action actionOf(const std::string& tag) {
    if (tag == "scan") return [](const std::optional<CurrentWindow>& window) { scanOrRetrieve(true, window); };
    if (tag == "retrieve") return [](const std::optional<CurrentWindow>& window) { scanOrRetrieve(false, window); };
    if (tag == "options") return [](const std::optional<CurrentWindow>&) { optionsEntry(); };
    if (tag == "manual") return [](const std::optional<CurrentWindow>&) { openManual(); };
    return nullptr;
}

void QBMenuListener::inform(const std::string& eventXML) {
    EventsMsgSet set;
    try {
        set = QBSessionManager().ToEventsMsgSet(eventXML, 4, 0);  // no connection
    } catch (...) {
        logLine("menu event failed: " + supportErrorText(caughtError()));
        throw;
    }
    if (!set.uiExtensionEvent) {
        logLine("event that is not a menu event: ignored");
        return;
    }
    const UIExtensionEvent& event = *set.uiExtensionEvent;
    logLine("menu event \"" + event.eventTag + "\", open window: " + describe(event.currentWindow));
    Action action = actionOf(event.eventTag);
    if (!action) return;
    menuEvents().push([action, window = event.currentWindow] {
        try {
            action(window);
        } catch (...) {
            logLine("menu event failed: " + supportErrorText(caughtError()));
        }
    });
}

}  // namespace marlet
