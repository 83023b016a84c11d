#include "qb/qb_events.h"

#include <pugixml.hpp>

#include "platform/error.h"
#include "qb/qbxml_response.h"

namespace marlet {

// E_INVALIDARG: the text handed to the parser is not an events message set.
constexpr int32_t kHrBadEvent = -2147024809;

static std::optional<std::string> optionalText(pugi::xml_node parent, const char* name) {
    pugi::xml_node element = parent.child(name);
    if (!element) return std::nullopt;
    return textOf(element);
}

static CurrentWindow readWindow(pugi::xml_node window) {
    CurrentWindow w;
    if (window.child("ListType") || window.child("ListID"))
        w.list = ListPart{optionalText(window, "ListType"), optionalText(window, "ListID")};
    if (window.child("TxnType") || window.child("TxnID"))
        w.txn = TxnPart{optionalText(window, "TxnType"), optionalText(window, "TxnID")};
    return w;
}

EventsMsgSet ToEventsMsgSet(const std::string& eventXML) {
    pugi::xml_document doc;
    std::string where;
    switch (parseQbxml(doc, eventXML, pugi::encoding_utf8, where)) {
    case QbxmlParse::NotWellFormed:
        throw Error(kHrBadEvent, "The event is not well-formed XML: " + where);
    case QbxmlParse::DocumentType:
        throw Error(kHrBadEvent, "The event declares a document type, which is not accepted");
    case QbxmlParse::Read:
        break;
    }
    pugi::xml_node events = doc.child("QBXML").child("QBXMLEvents");
    if (!events) throw Error(kHrBadEvent, "The event is not a QBXMLEvents message set");

    EventsMsgSet set;
    pugi::xml_node menuEvent = events.child("UIExtensionEvent");
    if (!menuEvent) return set;
    pugi::xml_node tag = menuEvent.child("EventTag");
    if (!tag) throw Error(kHrBadEvent, "The menu event has no EventTag");
    UIExtensionEvent& e = set.uiExtensionEvent.emplace();
    e.eventTag = textOf(tag);
    if (pugi::xml_node window = menuEvent.child("CurrentWindow")) e.currentWindow = readWindow(window);
    return set;
}

}  // namespace marlet
