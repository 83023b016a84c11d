// The XML reader never expands entities or fetches anything: a billion-laughs
// document and documents with external entities come back unexpanded (or are
// refused), and parsing them costs no more memory than an ordinary event.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "platform/error.h"
#include "qb/qb_events.h"
#include "qb/qbxml_response.h"

using namespace marlet;

namespace {

// Counts what pugixml allocates while a test runs.
size_t gLive = 0, gPeak = 0;

void* countingAlloc(size_t size) {
    auto* block = static_cast<size_t*>(std::malloc(size + sizeof(size_t) * 2));
    if (!block) return nullptr;
    *block = size;
    gLive += size;
    if (gLive > gPeak) gPeak = gLive;
    return block + 2;  // keeps 16-byte alignment
}

void countingFree(void* p) {
    if (!p) return;
    size_t* block = static_cast<size_t*>(p) - 2;
    gLive -= *block;
    std::free(block);
}

struct XmlSafety : ::testing::Test {
    void SetUp() override {
        gLive = gPeak = 0;
        pugi::set_memory_management_functions(countingAlloc, countingFree);
    }
    void TearDown() override { pugi::set_memory_management_functions(std::malloc, std::free); }
};

// Ten levels of ten references each: 10^9 "lol"s when expanded.
std::string billionLaughs(const std::string& body) {
    std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE QBXML [\n<!ENTITY lol0 \"lol\">\n";
    for (int i = 1; i <= 9; i++) {
        doc += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; j++) doc += "&lol" + std::to_string(i - 1) + ";";
        doc += "\">\n";
    }
    return doc + "]>\n" + body;
}

std::string menuEvent(const std::string& tag) {
    return "<QBXML><QBXMLEvents><UIExtensionEvent><EventTag>" + tag +
           "</EventTag><CurrentWindow><ListType>Customer</ListType><ListID>" + tag +
           "</ListID></CurrentWindow></UIExtensionEvent></QBXMLEvents></QBXML>";
}

// A document the reader may refuse; if it takes it, the tag must be the
// reference as written, never what it would expand to.
void expectRefusedOrUnexpanded(const std::string& xml, const std::string& reference) {
    try {
        EventsMsgSet set = ToEventsMsgSet(xml, 4, 0);
        ASSERT_TRUE(set.uiExtensionEvent);
        EXPECT_EQ(set.uiExtensionEvent->eventTag, reference);
        EXPECT_EQ(*set.uiExtensionEvent->currentWindow->list->listID, reference);
    } catch (const Error& e) {
        EXPECT_FALSE(e.description().empty());
    }
}

// The same for an answer of QuickBooks, read by the lookups.
std::string customerAnswer(const std::string& name) {
    return "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusCode=\"0\"><CustomerRet><FullName>" + name +
           "</FullName></CustomerRet></CustomerQueryRs></QBXMLMsgsRs></QBXML>";
}

void expectAnswerRefusedOrUnexpanded(const std::string& xml, const std::string& reference) {
    try {
        MsgSetResponse answer(xml);
        EXPECT_EQ(answer.GetAt(0).Detail(0).GetValue("FullName"), reference);
    } catch (const Error& e) {
        EXPECT_FALSE(e.description().empty());
    }
}

const size_t kOrdinaryParse = 256 * 1024;  // far above an event, far below any expansion

}  // namespace

TEST_F(XmlSafety, BillionLaughsIsNotExpanded) {
    std::string doc = billionLaughs("<QBXML>&lol9;</QBXML>");
    pugi::xml_document parsed;
    pugi::xml_parse_result result = parsed.load_buffer(doc.data(), doc.size());
    if (result) EXPECT_STREQ(parsed.child("QBXML").text().get(), "&lol9;");
    EXPECT_GT(gPeak, 0u);  // the counter sees pugixml's allocations
    EXPECT_LT(gPeak, kOrdinaryParse);

    expectRefusedOrUnexpanded(billionLaughs(menuEvent("&lol9;")), "&lol9;");
    expectAnswerRefusedOrUnexpanded(billionLaughs(customerAnswer("&lol9;")), "&lol9;");
    EXPECT_LT(gPeak, kOrdinaryParse);
}

TEST_F(XmlSafety, ExternalEntitiesAreNeverRead) {
    // A file the reader could reach, with a mark that must not turn up anywhere.
    std::string secret = ::testing::TempDir() + "marlet-xml-secret.txt";
    std::ofstream(secret) << "SECRET-MARK";
    const std::string declarations[] = {
        "<!DOCTYPE QBXML [<!ENTITY ext SYSTEM \"file://" + secret + "\">]>",
        "<!DOCTYPE QBXML [<!ENTITY ext SYSTEM \"" + secret + "\">]>",
        "<!DOCTYPE QBXML SYSTEM \"" + secret + "\">",
        "<!DOCTYPE QBXML [<!ENTITY % p SYSTEM \"" + secret + "\"> %p; <!ENTITY ext \"x\">]>",
        "<!DOCTYPE QBXML PUBLIC \"-//x//y\" \"http://127.0.0.1:9/qbxml.dtd\">",
    };
    for (const std::string& decl : declarations) {
        SCOPED_TRACE(decl);
        std::string doc = "<?xml version=\"1.0\"?>" + decl + menuEvent("&ext;");
        pugi::xml_document parsed;
        if (parsed.load_buffer(doc.data(), doc.size())) {
            pugi::xml_node tag = parsed.first_element_by_path("QBXML/QBXMLEvents/UIExtensionEvent/EventTag");
            EXPECT_STREQ(tag.text().get(), "&ext;");
        }
        expectRefusedOrUnexpanded(doc, "&ext;");
        expectAnswerRefusedOrUnexpanded("<?xml version=\"1.0\"?>" + decl + customerAnswer("&ext;"), "&ext;");
    }
    std::remove(secret.c_str());
}

TEST_F(XmlSafety, OnlyThePredefinedEntitiesAndCharacterReferencesAreDecoded) {
    EventsMsgSet set = ToEventsMsgSet(menuEvent("a&amp;b&lt;&#x41;&#66;&quot;&apos;&gt;&undeclared;"), 4, 0);
    EXPECT_EQ(set.uiExtensionEvent->eventTag, "a&b<AB\"'>&undeclared;");
}
