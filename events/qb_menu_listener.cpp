#include "events/qb_menu_listener.h"

#include "events/event_queue.h"
#include "events/launch.h"
#include "events/lookups.h"
#include "events/options_entry.h"
#include "app/app.h"
#include "app/log.h"
#include "platform/error.h"
#include "platform/process_state.h"
#include "qb/menu_subscription.h"
#include "qb/session.h"

namespace marlet {

std::unique_ptr<AutoObject> gFileTools;
static const ProcessStateOwner kFileToolsState([] { gFileTools.reset(); });

std::string manualPath() { return platform().exeFolder() + "\\" + kManualFile; }

void QBMenuListener::Class_Initialize() {
    try {
        gFileTools = platform().createObject(kFileToolsProgID);
    } catch (...) {
        Error failure = caughtError();
        logLine("the file tools cannot be created: " + supportErrorText(failure));
        menuEvents().push([failure] { reportFatalError(failure.number(), failure.description()); });
        throw Error(failure.number(), failure.description());
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
    gFileTools->call("StartDoc", {manualPath()});
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

// What a menu entry leads to (its row in kMenuEntries).
using Action = void (*)(const std::optional<CurrentWindow>& window);

static Action actionOf(MenuAction action) {
    switch (action) {
    case MenuAction::Scan:
        return [](const std::optional<CurrentWindow>& window) { scanOrRetrieve(true, window); };
    case MenuAction::Retrieve:
        return [](const std::optional<CurrentWindow>& window) { scanOrRetrieve(false, window); };
    case MenuAction::Options:
        return [](const std::optional<CurrentWindow>&) { optionsEntry(); };
    case MenuAction::Manual:
        return [](const std::optional<CurrentWindow>&) { openManual(); };
    }
    return nullptr;  // every action has its case above
}

void QBMenuListener::inform(const std::string& eventXML) {
    EventsMsgSet set;
    try {
        set = QBSessionManager().ToEventsMsgSet(eventXML);  // no connection
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
    const MenuEntry* entry = menuEntryOf(event.eventTag);
    if (!entry) return;
    Action action = actionOf(entry->action);
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
