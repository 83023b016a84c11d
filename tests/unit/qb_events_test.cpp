#include "qb/qb_events.h"

#include <gtest/gtest.h>

#include "platform/error.h"

using namespace marlet;

namespace {

// The event as QuickBooks sends it, with `window` as the CurrentWindow element.
std::string menuEvent(const std::string& tag, const std::string& window) {
    return "<?xml version=\"1.0\" ?>\r\n<?qbxml version=\"4.0\"?>\r\n<QBXML><QBXMLEvents><UIExtensionEvent>"
           "<SubscriberID>{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}</SubscriberID>"
           "<CompanyFilePath>C:\\Company\\sample.qbw</CompanyFilePath>"
           "<HostInfo><ProductName>QuickBooks Pro 2004</ProductName><MajorVersion>14</MajorVersion>"
           "<MinorVersion>0</MinorVersion><Country>US</Country></HostInfo>"
           "<EventTime>2004-06-01T10:00:00</EventTime>"
           "<EventTag>" + tag + "</EventTag>" + window +
           "</UIExtensionEvent></QBXMLEvents></QBXML>";
}

// "number: description" of the failure reading `xml`.
std::string failureOf(const std::string& xml) {
    try {
        toEventsMsgSet(xml);
    } catch (const Error& e) {
        return std::to_string(e.number()) + ": " + e.description();
    }
    return "none";
}

}  // namespace

// The open window in words: "-" for a missing part, "?" for a missing value.
static std::string windowOf(const std::string& inner) {
    std::optional<CurrentWindow> window = toEventsMsgSet(menuEvent("retrieve", inner)).uiExtensionEvent->currentWindow;
    if (!window) return "-";
    auto value = [](const std::optional<std::string>& v) { return v ? *v : "?"; };
    std::string out = window->list ? "list " + value(window->list->listType) + " " + value(window->list->listID) : "-";
    return out + (window->txn ? " txn " + value(window->txn->txnType) + " " + value(window->txn->txnID) : " -");
}

TEST(QbEvents, EachPartOfTheOpenWindowIsSeenAsPresentOrAbsent) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "-"},
        {"<CurrentWindow/>", "- -"},
        {"<CurrentWindow><ListType>Customer</ListType><ListID>8-1</ListID></CurrentWindow>", "list Customer 8-1 -"},
        {"<CurrentWindow><ListID>8-1</ListID></CurrentWindow>", "list ? 8-1 -"},
        {"<CurrentWindow><TxnType>Bill</TxnType></CurrentWindow>", "- txn Bill ?"},
        {"<CurrentWindow><TxnID>1A</TxnID><TxnType>Invoice</TxnType></CurrentWindow>", "- txn Invoice 1A"},
        {"<CurrentWindow><TxnType>Bill</TxnType><TxnID/></CurrentWindow>", "- txn Bill "},
    };
    for (const auto& [inner, seen] : rows) EXPECT_EQ(windowOf(inner), seen) << inner;
}

TEST(QbEvents, UnknownElementsAndOrderDoNotMatter) {
    std::string xml =
        "<QBXML><QBXMLEvents><UIExtensionEvent><Extra><EventTag>no</EventTag></Extra>"
        "<CurrentWindow><Future>1</Future><ListID>X</ListID><ListType>Vendor</ListType></CurrentWindow>"
        "<EventTag>options</EventTag><NewerField/></UIExtensionEvent></QBXMLEvents></QBXML>";
    UIExtensionEvent e = *toEventsMsgSet(xml).uiExtensionEvent;
    EXPECT_EQ(e.eventTag, "options");
    EXPECT_EQ(e.currentWindow->list->listType, "Vendor");
    EXPECT_EQ(e.currentWindow->list->listID, "X");
}

TEST(QbEvents, ValuesArriveVerbatim) {
    // Blanks and case are the dispatch's business; references are decoded.
    EXPECT_EQ(toEventsMsgSet(menuEvent("Scan ", "")).uiExtensionEvent->eventTag, "Scan ");
    EXPECT_EQ(toEventsMsgSet(menuEvent(" a&amp;b&#x41;<![CDATA[<c>]]>", "")).uiExtensionEvent->eventTag,
              " a&bA<c>");
    std::string utf8 = "Caf\xC3\xA9";
    EXPECT_EQ(toEventsMsgSet(menuEvent("manual", "<CurrentWindow><ListType>Customer</ListType><ListID>" + utf8 +
                                                     "</ListID></CurrentWindow>"))
                  .uiExtensionEvent->currentWindow->list->listID,
              utf8);
}

TEST(QbEvents, AValueOfBlanksArrivesAsItStands) {
    EventsMsgSet set = toEventsMsgSet(
        menuEvent("  ", "<CurrentWindow><TxnType> </TxnType><TxnID>\t \t</TxnID></CurrentWindow>"));
    EXPECT_EQ(set.uiExtensionEvent->eventTag, "  ");
    EXPECT_EQ(set.uiExtensionEvent->currentWindow->txn->txnType, " ");
    EXPECT_EQ(set.uiExtensionEvent->currentWindow->txn->txnID, "\t \t");
}

TEST(QbEvents, OtherEventKindsCarryNoMenuEvent) {
    EXPECT_FALSE(toEventsMsgSet("<QBXML><QBXMLEvents><UIEvent><CompanyFileEvent><CompanyFileEventOperation>Open"
                                "</CompanyFileEventOperation></CompanyFileEvent></UIEvent></QBXMLEvents></QBXML>")
                     .uiExtensionEvent);
    EXPECT_FALSE(toEventsMsgSet("<QBXML><QBXMLEvents/></QBXML>").uiExtensionEvent);
}

TEST(QbEvents, MalformedTextIsAFailure) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "The event is not well-formed XML: "},
        {menuEvent("scan", "<CurrentWindow>"), "The event is not well-formed XML: "},  // not closed
        {"<QBXML><QBXMLMsgsRq/></QBXML>", "The event is not a QBXMLEvents message set"},
        {"<Other><QBXMLEvents/></Other>", "The event is not a QBXMLEvents message set"},
        {"<QBXML><QBXMLEvents><UIExtensionEvent/></QBXMLEvents></QBXML>", "The menu event has no EventTag"},
    };
    for (const auto& [xml, start] : rows) EXPECT_EQ(failureOf(xml).rfind("-2147024809: " + start, 0), 0u) << failureOf(xml);
}

// Two paths name one company file as Windows compares them: case folded letter
// by letter through Latin, Greek and Cyrillic, either slash; a byte that is not
// UTF-8 equals only itself.
TEST(QbEvents, CompanyFilePathsCompareAsWindowsDoes) {
    const struct {
        const char *a, *b;
        bool same;
    } rows[] = {
        {"C:/Books/az.qbw", "c:\\BOOKS\\AZ.QBW", true},
        {"àþ café", "ÀÞ CAFÉ", true},
        {"ÿ", "Ÿ", true},
        {"÷", "×", false},
        {"āĺňźž", "ĀĹŇŹŽ", true},
        {"İ", "ı", false},
        {"αω", "ΑΩ", true},
        {"ς", "Σ", false},
        {"ая ѐџ", "АЯ ЀЏ", true},
        {"\x80", "\xC2\x80", false},
        {"\xFF", "ÿ", false},
        {"\xC3" "A", "Á", false},
        {"a\xC3", "A\xC3", true},
        {"ab", "a", false},
        {"a", "ab", false},
    };
    for (const auto& r : rows) EXPECT_EQ(sameCompanyFile(r.a, r.b), r.same) << r.a << " / " << r.b;
}
