#pragma once
// The events message set that QuickBooks delivers to a callback, parsed from its
// qbXML text. Only what the menu listener reads is kept: the menu event (a
// UIExtensionEvent), its tag, the company file and the window that was open when it was picked.
#include <optional>
#include <string>

namespace marlet {

struct ListPart {
    std::optional<std::string> listType;  // "Customer", "Vendor", ...
    std::optional<std::string> listID;
};

struct TxnPart {
    std::optional<std::string> txnType;  // "Invoice", "Bill", ...
    std::optional<std::string> txnID;
};

// The open window: a list part, a transaction part, or (in a malformed event
// that still parses) neither. An event that carries both has both.
struct CurrentWindow {
    std::optional<ListPart> list;
    std::optional<TxnPart> txn;
};

struct UIExtensionEvent {
    std::string eventTag;
    // The company file open in QuickBooks when the entry was picked, as
    // QuickBooks names it; "" when the event names none.
    std::string companyFilePath;
    std::optional<CurrentWindow> currentWindow;
};

struct EventsMsgSet {
    // Absent when the set holds another kind of event (DataEvent, UIEvent).
    std::optional<UIExtensionEvent> uiExtensionEvent;
};

// Parses the event text (UTF-8). Elements are found by name; unknown ones are
// ignored. Raises an Error when the text is not well-formed XML, is not a
// QBXML/QBXMLEvents document, or has a menu event without an EventTag.
// Nothing outside the text is read: no DTD, no external entities.
// Every qbXML version's events read alike, so none is asked for.
EventsMsgSet toEventsMsgSet(const std::string& eventXML);

// Whether two company-file paths (UTF-8) name one file as Windows compares
// them: letters in either case alike (the Latin, Greek and Cyrillic ones), and
// "/" the same as "\\".
bool sameCompanyFile(const std::string& a, const std::string& b);

}  // namespace marlet
