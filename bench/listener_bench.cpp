// One "scan" menu event on an open invoice, as marlet.exe handles it: parse the
// event, dispatch on its tag and window, ask QuickBooks for the transaction (a
// request processor in-process that answers at once), read the answer and
// compose the Dorvex command line. The platform is the in-memory fake, so what
// is measured is the program's own work.
#include <benchmark/benchmark.h>

#include "events/event_queue.h"
#include "events/qb_menu_listener.h"
#include "app/app.h"
#include "platform/fake/fake_platform.h"

using namespace marlet;

namespace {

const char kEvent[] =
    "<?xml version=\"1.0\" ?>\r\n<?qbxml version=\"4.0\"?>\r\n<QBXML>\r\n<QBXMLEvents>\r\n<UIExtensionEvent>\r\n"
    "<SubscriberID>{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}</SubscriberID>\r\n"
    "<CompanyFilePath>C:\\Documents and Settings\\All Users\\Documents\\Intuit\\QuickBooks\\Company Files\\"
    "sample_product-based business.qbw</CompanyFilePath>\r\n"
    "<HostInfo><ProductName>QuickBooks Pro 2004</ProductName><MajorVersion>14</MajorVersion>"
    "<MinorVersion>0</MinorVersion><Country>US</Country></HostInfo>\r\n"
    "<EventTime>2007-03-09T14:05:07</EventTime>\r\n<EventTag>scan</EventTag>\r\n"
    "<CurrentWindow><TxnType>Invoice</TxnType><TxnID>1A-1165000101</TxnID></CurrentWindow>\r\n"
    "</UIExtensionEvent>\r\n</QBXMLEvents>\r\n</QBXML>\r\n";

const char kAnswer[] =
    "<?xml version=\"1.0\" ?>\n<QBXML>\n<QBXMLMsgsRs>\n"
    "<TransactionQueryRs statusCode=\"0\" statusSeverity=\"Info\" statusMessage=\"Status OK\" retCount=\"1\">\n"
    "<TransactionRet><TxnType>Invoice</TxnType><TxnID>1A-1165000101</TxnID>"
    "<TimeCreated>2007-03-01T09:15:00-08:00</TimeCreated><TimeModified>2007-03-01T09:15:00-08:00</TimeModified>"
    "<EntityRef><ListID>80000002-1165000002</ListID><FullName>Abercrombie, Kristy:Family Room</FullName>"
    "</EntityRef><AccountRef><ListID>80000020-1165000020</ListID><FullName>Accounts Receivable</FullName>"
    "</AccountRef><TxnDate>2007-03-01</TxnDate><RefNumber>1001</RefNumber><Amount>1250.00</Amount>"
    "<Memo>Cabinet deposit</Memo></TransactionRet>\n</TransactionQueryRs>\n</QBXMLMsgsRs>\n</QBXML>\n";

// QuickBooks' request processor, answering the one query with the invoice.
struct AnsweringProcessor : AutoObject {
    Value call(const std::string& member, const std::vector<Value>&) override {
        if (member == "BeginSession") return std::string("{ticket}");
        if (member == "ProcessRequest") return std::string(kAnswer);
        return {};
    }
};

void ScanEventOnAnInvoice(benchmark::State& state) {
    fake::World& w = fake::install();
    w.classes["QBXMLRP2.RequestProcessor"] = [] { return std::make_unique<AnsweringProcessor>(); };
    w.programs.insert("C:\\Program Files\\Dorvex\\Dorvex.exe");
    gOptions = std::make_unique<cmOptions>();
    gOptions->dxPath = "C:\\Program Files\\Dorvex\\";
    gOptions->configPath = "C:\\Program Files\\Dorvex\\Config\\";
    const std::string event = kEvent;
    QBMenuListener listener;
    for (auto _ : state) {
        listener.inform(event);
        menuEvents().runWaiting();
        w.started.clear();
        w.log.clear();
    }
    listener.inform(event);
    menuEvents().runWaiting();
    if (w.started.size() != 1 || !w.boxes.empty()) state.SkipWithError("the event did not start one scan");
}
BENCHMARK(ScanEventOnAnInvoice);

}  // namespace
