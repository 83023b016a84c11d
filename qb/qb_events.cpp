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

EventsMsgSet toEventsMsgSet(const std::string& eventXML) {
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
    if (pugi::xml_node file = menuEvent.child("CompanyFilePath")) e.companyFilePath = textOf(file);
    if (pugi::xml_node window = menuEvent.child("CurrentWindow")) e.currentWindow = readWindow(window);
    return set;
}

}  // namespace marlet

namespace marlet {

// The next code point of UTF-8 text; a byte that starts no sequence stands
// for itself, so that text which is not UTF-8 still compares byte by byte.
static char32_t nextCodePoint(const std::string& s, size_t& at) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char lead = byte(at);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    bool whole = length != 0 && at + length <= s.size();
    for (size_t i = 1; whole && i < length; i++) whole = (byte(at + i) & 0xC0) == 0x80;
    if (!whole) return byte(at++) | 0x110000;  // apart from every code point
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; i++) c = (c << 6) | (byte(at + i) & 0x3F);
    at += length;
    return c;
}

// The upper-case letter Windows' comparison takes a letter as.
static char32_t upperOf(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;      // à..þ
    if (c == 0xFF) return 0x178;                                   // ÿ
    if (c >= 0x100 && c <= 0x17F) {                                // Latin Extended-A
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c % 2 == (oddUpper ? 0 : 1)) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;  // α..ω
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;                 // а..я
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;                 // ѐ..џ
    if (c == U'/') return U'\\';
    return c;
}

bool sameCompanyFile(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        if (upperOf(nextCodePoint(a, i)) != upperOf(nextCodePoint(b, j))) return false;
    return i == a.size() && j == b.size();
}

}  // namespace marlet
