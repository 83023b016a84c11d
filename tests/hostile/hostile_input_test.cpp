// Very large inputs at the program's three doors: the command line, the options
// file and the event text. The program must treat each as it treats a small one,
// must not crash, and must keep its memory a small multiple of the input.
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "events/qb_menu_listener.h"
#include "app/app.h"
#include "main/main.h"
#include "main/cmdline.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "qb/qb_events.h"
#include "settings/options.h"

// --- every allocation of this program is counted
static size_t gLive = 0, gPeak = 0;

static void* countedAlloc(size_t size) {
    auto* block = static_cast<size_t*>(std::malloc(size + 16));
    if (!block) return nullptr;
    *block = size;
    gLive += size;
    if (gLive > gPeak) gPeak = gLive;
    return block + 2;  // keeps 16-byte alignment
}
static void countedFree(void* p) {
    if (!p) return;
    size_t* block = static_cast<size_t*>(p) - 2;
    gLive -= *block;
    std::free(block);
}

void* operator new(size_t size) {
    if (void* p = countedAlloc(size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void* operator new[](size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

// pugixml has its own allocation functions; they are counted too.
static const bool gPugiCounted = [] {
    pugi::set_memory_management_functions(countedAlloc, countedFree);
    return true;
}();

using namespace marlet;

namespace {

// The most the code under test held at once beyond what was live when it began.
struct PeakMeter {
    size_t base = gLive;
    PeakMeter() { gPeak = gLive; }
    size_t peak() const { return gPeak - base; }
};

const std::string kIni = "C:\\Marlet\\dxqb.ini";

}  // namespace

TEST(HostileInput, CommandLineOf32000Characters) {
    fake::World& w = fake::install();
    // Every separator kind, repeated: only ten arguments, whole, and nothing more.
    std::string line;
    while (line.size() < 32000) line += " /retrieve\t/x -y \\z";
    line.resize(32000);
    {
        PeakMeter m;
        std::vector<std::string> args = splitCommandLine(line);
        ASSERT_EQ(args.size(), 11u);
        EXPECT_EQ(args[1], "/retrieve");
        EXPECT_EQ(args[4], "\\z");
        EXPECT_EQ(args[10], "/x");
        EXPECT_LT(m.peak(), 4096u);  // the limit stops the scan, not the end of the text
    }
    // One argument of 32,000 characters, blanks inside it kept.
    std::string one = "x" + std::string(31998, ' ') + "y";
    {
        PeakMeter m;
        std::vector<std::string> args = splitCommandLine(one);
        ASSERT_EQ(args.size(), 2u);
        EXPECT_EQ(args[1], one);
        EXPECT_LT(m.peak(), 3 * one.size());
    }
    // Through Main: of the thousands of switches only the first ten arguments count.
    w.commandLine = line;
    w.programs.insert("PATH\\Dorvex.exe");
    w.files[kIni] = "";
    Main();
    EXPECT_EQ(w.started.size(), 3u);  // arguments 1, 5 and 9
    w = fake::install();
    std::string retrieves;
    while (retrieves.size() < 32000) retrieves += "/retrieve ";
    retrieves.resize(32000);
    w.commandLine = retrieves;
    w.programs.insert("PATH\\Dorvex.exe");
    w.files[kIni] = "";
    Main();
    EXPECT_EQ(w.started.size(), 10u);
    EXPECT_EQ(w.files[kIni], "False\r\n\r\n\r\nFalse\r\nFalse\r\nFalse\r\n");
}

TEST(HostileInput, OptionsFileWithA10MegabyteLine) {
    fake::World& w = fake::install();
    const size_t tenMB = 10 * 1024 * 1024;
    std::string path = "C:\\" + std::string(tenMB, 'p') + "\\";
    w.files[kIni] = "True\r\n" + path + "\r\nC:\\cfg\\\r\nTrue\r\nFalse\r\nTrue\r\n";
    cmOptions o;
    {
        PeakMeter m;
        o.readOptions(kIni);
        EXPECT_LT(m.peak(), 5 * tenMB);
    }
    EXPECT_EQ(o.dxPath, path);
    EXPECT_EQ(o.configPath, "C:\\cfg\\");
    EXPECT_TRUE(o.displayTwain && o.displayDorvex && o.debugMode);
    {
        PeakMeter m;
        o.writeOptions(kIni);
        EXPECT_LT(m.peak(), 5 * tenMB);
    }
    EXPECT_EQ(w.files[kIni].size(), path.size() + 36);

    // Ten megabytes on a Boolean line: digits are a number, anything else no Boolean.
    cmOptions b;
    w.files[kIni] = std::string(tenMB, '7') + "\r\n\r\n\r\n" + std::string(tenMB, '0') + "\r\n" +
                    "&H" + std::string(tenMB, 'F') + "\r\n" + std::string(tenMB, 'T') + "\r\n";
    b.displayDorvex = true;
    {
        PeakMeter m;
        b.readOptions(kIni);
        EXPECT_LT(m.peak(), 4 * w.files[kIni].size());
    }
    EXPECT_TRUE(b.displayTwain);
    EXPECT_FALSE(b.displayDorvex);
    EXPECT_FALSE(b.promptMemo);  // too large for the hexadecimal form: unchanged
    EXPECT_FALSE(b.debugMode);
}

namespace {

std::string eventWith(const std::string& tag, const std::string& window) {
    return "<?xml version=\"1.0\"?><QBXML><QBXMLEvents><UIExtensionEvent><EventTag>" + tag +
           "</EventTag>" + window + "</UIExtensionEvent></QBXMLEvents></QBXML>";
}

const size_t kSixteenMB = 16 * 1024 * 1024;

}  // namespace

TEST(HostileInput, EventDocumentsOf16Megabytes) {
    fake::install();
    // A 16 MB identifier arrives whole.
    std::string id(kSixteenMB, 'A');
    std::string xml = eventWith("scan", "<CurrentWindow><TxnType>Invoice</TxnType><TxnID>" + id +
                                            "</TxnID></CurrentWindow>");
    {
        PeakMeter m;
        EventsMsgSet set = ToEventsMsgSet(xml, 4, 0);
        EXPECT_EQ(set.uiExtensionEvent->currentWindow->txn->txnID, id);
        EXPECT_LT(m.peak(), 4 * xml.size());
    }
    // 16 MB of padding elements before the tag: the tag is still found.
    std::string padding;
    padding.reserve(kSixteenMB);
    while (padding.size() < kSixteenMB) padding += "<Pad a=\"1\"/>";
    xml = "<QBXML><QBXMLEvents><UIExtensionEvent>" + padding +
          "<EventTag>retrieve</EventTag></UIExtensionEvent></QBXMLEvents></QBXML>";
    {
        PeakMeter m;
        EventsMsgSet set = ToEventsMsgSet(xml, 4, 0);
        EXPECT_EQ(set.uiExtensionEvent->eventTag, "retrieve");
        EXPECT_FALSE(set.uiExtensionEvent->currentWindow);
        EXPECT_LT(m.peak(), 12 * xml.size());  // a DOM: nodes and attributes cost more than their text
    }
    // Nesting 16 MB deep and a document cut off after 16 MB: clear failures, no crash.
    std::string deep;
    deep.reserve(kSixteenMB);
    while (deep.size() < kSixteenMB / 2) deep += "<a>";
    for (const std::string& bad : {"<QBXML><QBXMLEvents>" + deep, eventWith(id, "").substr(0, kSixteenMB)}) {
        PeakMeter m;
        EXPECT_THROW(ToEventsMsgSet(bad, 4, 0), Error);
        EXPECT_LT(m.peak(), 32 * bad.size());
    }
}

TEST(HostileInput, EventDocumentsOf16MegabytesThroughTheListener) {
    fake::World& w = fake::install();
    w.programs.insert("PATH\\Dorvex.exe");
    gOptions = std::make_unique<cmOptions>();
    // A customer scan with a 16 MB ListID reaches the lookup, which reports that
    // QuickBooks cannot be reached; nothing is started.
    std::string id(kSixteenMB, '8');
    std::string xml = eventWith("scan", "<CurrentWindow><ListType>Customer</ListType><ListID>" + id +
                                            "</ListID></CurrentWindow>");
    {
        PeakMeter m;
        QBMenuListener().inform(xml);
        EXPECT_LT(m.peak(), 6 * xml.size());
    }
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].title, "Error");
    EXPECT_TRUE(w.started.empty());

    // A retrieval whose 16 MB of padding hide no window: the bare retrieval.
    std::string padding;
    padding.reserve(kSixteenMB);
    while (padding.size() < kSixteenMB) padding += "<HostInfo><Country>US</Country></HostInfo>";
    {
        PeakMeter m;
        QBMenuListener().inform(eventWith("retrieve", padding));
        EXPECT_LT(m.peak(), 12 * kSixteenMB);
    }
    ASSERT_EQ(w.started.size(), 1u);
    EXPECT_EQ(w.started[0].commandLine, "Dorvex.exe /c:\"qbretrieve.dxc\"");
}
