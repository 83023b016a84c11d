// Very large and hostile inputs at the program's three doors: the command line,
// the options file and the text of events and answers. Each is treated as a
// small one would be, and a document type is refused before it is expanded.
#include <string>

#include <gtest/gtest.h>

#include "app/app.h"
#include "events/event_queue.h"
#include "events/qb_menu_listener.h"
#include "main/cmdline.h"
#include "main/main.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "qb/qb_events.h"
#include "qb/qbxml_response.h"

using namespace marlet;

namespace {

const std::string kIni = "C:\\Marlet\\dxqb.ini";
const size_t kSixteenMB = 16 * 1024 * 1024;

std::string eventWith(const std::string& tag, const std::string& window) {
    return "<?xml version=\"1.0\"?><QBXML><QBXMLEvents><UIExtensionEvent><EventTag>" + tag + "</EventTag>" +
           window + "</UIExtensionEvent></QBXMLEvents></QBXML>";
}

// An event and an answer with a document type are both refused, whatever it declares.
void expectRefused(const std::string& doctype, const std::string& reference) {
    for (bool event : {true, false}) {
        try {
            if (event)
                toEventsMsgSet(doctype + eventWith(reference, ""));
            else
                MsgSetResponse answer(doctype + "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusCode=\"0\"><CustomerRet>"
                                                "<FullName>" + reference + "</FullName></CustomerRet></CustomerQueryRs></QBXMLMsgsRs></QBXML>");
            ADD_FAILURE() << "taken: " << doctype;
        } catch (const Error& e) {
            EXPECT_EQ(e.description(), event ? "The event declares a document type, which is not accepted"
                                             : "QuickBooks returned an answer that declares a document type.");
        }
    }
}

}  // namespace

TEST(HostileInput, CommandLineOf32000Characters) {
    fake::World& w = fake::install();
    std::string line;  // every separator kind, repeated
    while (line.size() < 32000) line += " /retrieve\t/x -y \\z";
    line.resize(32000);
    // Through Main: of the thousands of switches only the first ten arguments count.
    w.commandLine = line;
    w.programs.insert("PATH\\Dorvex.exe");
    w.files[kIni] = "";
    Main();
    EXPECT_EQ(w.started.size(), 3u);  // arguments 1, 5 and 9
    EXPECT_EQ(w.files[kIni], "False\r\n\r\n\r\nFalse\r\nFalse\r\nFalse\r\n");
}

TEST(HostileInput, OptionsFileWithTenMegabyteLines) {
    fake::World& w = fake::install();
    const size_t tenMB = 10 * 1024 * 1024;
    std::string path = "C:\\" + std::string(tenMB, 'p') + "\\";
    w.files[kIni] = "True\r\n" + path + "\r\nC:\\cfg\\\r\nTrue\r\nFalse\r\nTrue\r\n";
    cmOptions o;
    o.readOptions(kIni);
    o.writeOptions(kIni);
    EXPECT_EQ(o.dxPath, path);
    EXPECT_EQ(w.files[kIni].size(), path.size() + 36);

    // On a Boolean line: digits are a number, anything else no Boolean.
    cmOptions b;
    b.displayDorvex = true;
    w.files[kIni] = std::string(tenMB, '7') + "\r\n\r\n\r\n" + std::string(tenMB, '0') + "\r\n" + "&H" +
                    std::string(tenMB, 'F') + "\r\n" + std::string(tenMB, 'T') + "\r\n";
    b.readOptions(kIni);
    EXPECT_EQ(b.toText(), "True\r\n\r\n\r\nFalse\r\nFalse\r\nFalse\r\n");
}

TEST(HostileInput, EventDocumentsOf16Megabytes) {
    fake::World& w = fake::install();
    w.programs.insert("PATH\\Dorvex.exe");
    gOptions = std::make_unique<cmOptions>();
    std::string id(kSixteenMB, '8');
    std::string xml = eventWith("scan", "<CurrentWindow><ListType>Customer</ListType><ListID>" + id +
                                            "</ListID></CurrentWindow>");
    // The lookup is reached, and reports that QuickBooks cannot be.
    QBMenuListener().inform(xml);
    menuEvents().runWaiting();
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].title, "Error");
    EXPECT_EQ(w.log[0], "createObject QBXMLRP2.RequestProcessor");
    // 16 MB of padding hide no window: the bare retrieval.
    std::string padding;
    padding.reserve(kSixteenMB);
    while (padding.size() < kSixteenMB) padding += "<HostInfo><Country>US</Country></HostInfo>";
    QBMenuListener().inform(eventWith("retrieve", padding));
    menuEvents().runWaiting();
    ASSERT_EQ(w.started.size(), 1u);
    EXPECT_EQ(w.started[0].commandLine, "Dorvex.exe /c:\"qbretrieve.dxc\"");
    // Nesting 8 MB deep and a document cut off: clear failures, no crash.
    std::string deep;
    deep.reserve(kSixteenMB);
    while (deep.size() < kSixteenMB / 2) deep += "<a>";
    for (const std::string& bad : {"<QBXML><QBXMLEvents>" + deep, xml.substr(0, kSixteenMB)})
        EXPECT_THROW(toEventsMsgSet(bad), Error);
}

TEST(HostileInput, DocumentTypesAreRefusedUnexpandedAndUnread) {
    // Ten levels of ten references each: 10^9 "lol"s when expanded.
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE QBXML [\n<!ENTITY lol0 \"lol\">\n";
    for (int i = 1; i <= 9; i++) {
        laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; j++) laughs += "&lol" + std::to_string(i - 1) + ";";
        laughs += "\">\n";
    }
    expectRefused(laughs + "]>", "&lol9;");
    const std::string secret = "/etc/hostname";
    for (const std::string& doctype : {"<!DOCTYPE QBXML [<!ENTITY ext SYSTEM \"file://" + secret + "\">]>",
                                       "<!DOCTYPE QBXML SYSTEM \"" + secret + "\">",
                                       "<!DOCTYPE QBXML [<!ENTITY % p SYSTEM \"" + secret + "\"> %p;]>",
                                       std::string("<!DOCTYPE QBXML PUBLIC \"-//x//y\" \"http://127.0.0.1:9/q.dtd\">")})
        expectRefused(doctype, "&ext;");
}
