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

// A document with a document type is refused with a clear description.
void expectEventRefused(const std::string& xml) {
    try {
        ToEventsMsgSet(xml, 4, 0);
        ADD_FAILURE() << "taken";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("document type"), std::string::npos) << e.description();
    }
}

// The same for an answer of QuickBooks, read by the lookups.
std::string customerAnswer(const std::string& name) {
    return "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusCode=\"0\"><CustomerRet><FullName>" + name +
           "</FullName></CustomerRet></CustomerQueryRs></QBXMLMsgsRs></QBXML>";
}

void expectAnswerRefused(const std::string& xml) {
    try {
        MsgSetResponse answer(xml);
        ADD_FAILURE() << "taken";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("document type"), std::string::npos) << e.description();
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

    expectEventRefused(billionLaughs(menuEvent("&lol9;")));
    expectAnswerRefused(billionLaughs(customerAnswer("&lol9;")));
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
        expectEventRefused(doc);
        expectAnswerRefused("<?xml version=\"1.0\"?>" + decl + customerAnswer("&ext;"));
    }
    std::remove(secret.c_str());
}

TEST_F(XmlSafety, OnlyThePredefinedEntitiesAndCharacterReferencesAreDecoded) {
    EventsMsgSet set = ToEventsMsgSet(menuEvent("a&amp;b&lt;&#x41;&#66;&quot;&apos;&gt;&undeclared;"), 4, 0);
    EXPECT_EQ(set.uiExtensionEvent->eventTag, "a&b<AB\"'>&undeclared;");
}
