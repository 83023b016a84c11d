// The qbXML work of one lookup: writing the TransactionQueryRq document, and
// reading a typical TransactionRet answer down to the four launch values.
#include <benchmark/benchmark.h>

#include "qb/qbxml_request.h"
#include "qb/qbxml_response.h"

using namespace marlet;

static const char kAnswer[] =
    "<?xml version=\"1.0\" ?>\n"
    "<QBXML>\n"
    "<QBXMLMsgsRs>\n"
    "<TransactionQueryRs statusCode=\"0\" statusSeverity=\"Info\" statusMessage=\"Status OK\" "
    "retCount=\"1\">\n"
    "<TransactionRet><TxnType>Invoice</TxnType><TxnID>1A-1165000101</TxnID>"
    "<TimeCreated>2007-03-01T09:15:00-08:00</TimeCreated>"
    "<TimeModified>2007-03-01T09:15:00-08:00</TimeModified>"
    "<EntityRef><ListID>80000002-1165000002</ListID>"
    "<FullName>Abercrombie, Kristy:Family Room</FullName></EntityRef>"
    "<AccountRef><ListID>80000020-1165000020</ListID><FullName>Accounts Receivable</FullName>"
    "</AccountRef><TxnDate>2007-03-01</TxnDate><RefNumber>1001</RefNumber>"
    "<Amount>1250.00</Amount><Memo>Cabinet deposit</Memo></TransactionRet>\n"
    "</TransactionQueryRs>\n"
    "</QBXMLMsgsRs>\n"
    "</QBXML>\n";

static void BuildTransactionQuery(benchmark::State& state) {
    for (auto _ : state) {
        MsgSetRequest set("US", 4, 0);
        set.onError = kContinueOnError;
        set.append("TransactionQueryRq").append("TxnID", "1A-1165000101");
        std::string xml = set.toXml();
        benchmark::DoNotOptimize(xml);
    }
}
BENCHMARK(BuildTransactionQuery);

static void ReadTransactionAnswer(benchmark::State& state) {
    const std::string answer = kAnswer;
    for (auto _ : state) {
        MsgSetResponse rs(answer);
        Record txn = rs.at(0).detail(0);
        std::string memo = txn.value("Memo");
        bool hasRef = txn.has("RefNumber");
        std::string entity = txn.required("EntityRef/FullName");
        std::string type = txn.required("TxnType");
        std::string ref = hasRef ? txn.value("RefNumber") : std::string();
        benchmark::DoNotOptimize(memo);
        benchmark::DoNotOptimize(entity);
        benchmark::DoNotOptimize(type);
        benchmark::DoNotOptimize(ref);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(answer.size()));
}
BENCHMARK(ReadTransactionAnswer);

BENCHMARK_MAIN();
