#include "events/qb_menu_listener.h"

#include "app/app.h"
#include "app/dorvex.h"
#include "app/log.h"
#include "commands/options_commands.h"
#include "events/event_queue.h"
#include "events/launch.h"
#include "events/lookups.h"
#include "platform/error.h"
#include "platform/process_state.h"
#include "qb/menu_subscription.h"
#include "qb/session.h"

namespace marlet {

std::unique_ptr<AutoObject> gFileTools;
void releaseFileTools() { gFileTools.reset(); }
static const ProcessStateOwner kFileToolsState(releaseFileTools);

void QBMenuListener::createFileTools() {
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

// What the event says about the pick, as its work needs it.
struct Pick {
    std::optional<CurrentWindow> window;
    std::string companyFile;
};

// The options are read where the pick's work starts, and passed on from there.
void scanOrRetrieve(bool scan, const Pick& pick) {
    const cmOptions& options = *gOptions;
    const std::optional<CurrentWindow>& window = pick.window;
    Window kind = classify(window);
    Act act = Act::Nothing;
    for (const Row& row : kRows)
        if (row.window == kind) act = scan ? row.scan : row.retrieve;

    switch (act) {
    case Act::Nothing:
        break;
    case Act::Message:
        msgBox("Please open a customer or recorded transaction.", BoxStyle::OkOnly, "Information not found");
        break;
    case Act::BareRetrieval:
        launchRetrieve(options, {});
        break;
    case Act::Lookup:
        if (kind == Window::CustomerWithID) {
            const std::string& id = *window->list->listID;
            scan ? scanCustomer(options, id, pick.companyFile) : retrieveCustomer(options, id, pick.companyFile);
        } else {
            const std::string& id = *window->txn->txnID;
            scan ? scanTransaction(options, id, pick.companyFile) : retrieveTransaction(options, id, pick.companyFile);
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
using Action = void (*)(const Pick& pick);

static Action actionOf(MenuAction action) {
    switch (action) {
    case MenuAction::Scan:
        return [](const Pick& pick) { scanOrRetrieve(true, pick); };
    case MenuAction::Retrieve:
        return [](const Pick& pick) { scanOrRetrieve(false, pick); };
    case MenuAction::Options:
        return [](const Pick&) { optionsEntry(); };
    case MenuAction::Manual:
        return [](const Pick&) { openManual(); };
    }
    return nullptr;  // every action has its case above
}

// The work of one pick. A failure that has not been shown on the way (the
// lookups, the Options dialog and a failed save show their own) is shown here,
// once, in the box a failure that nothing else handled ends in.
static void runPick(Action action, const Pick& pick) {
    try {
        action(pick);
    } catch (...) {
        Error failure = caughtError();
        logLine("menu event failed: " + supportErrorText(failure));
        showErrorBox(failure.number(), failure.description());
    }
}

void QBMenuListener::inform(const std::string& eventXML) {
    EventsMsgSet set;
    try {
        set = QBSessionManager().toEventsMsgSet(eventXML);  // no connection
    } catch (...) {
        logLine("menu event failed: " + supportErrorText(caughtError()));
        throw;
    }
    if (!set.uiExtensionEvent) {
        logLine("event that is not a menu event: ignored");
        return;
    }
    const UIExtensionEvent& event = *set.uiExtensionEvent;
    const std::string what = "menu event \"" + event.eventTag + "\", open window: " + describe(event.currentWindow) +
                             ", company file: " + (event.companyFilePath.empty() ? "(none)" : event.companyFilePath);
    logLine(what);
    const MenuEntry* entry = menuEntryOf(event.eventTag);
    if (!entry) return;
    Action action = actionOf(entry->action);
    if (!action) return;
    // The same entry on the same record in the same file, picked again while
    // the first pick still waits (nothing seemed to happen), is that pick.
    Pick pick{event.currentWindow, event.companyFilePath};
    if (!menuEvents().push([action, pick] { runPick(action, pick); }, what))
        logLine("merged with the same pick, still waiting: " + what);
}

}  // namespace marlet
