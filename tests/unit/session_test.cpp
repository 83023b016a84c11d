#include "qb/session.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "standin_processor.h"

using namespace marlet;
using marlet::testing::calls;
using marlet::testing::outline;

namespace {

Error errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    return Error(0, "");
}

}  // namespace

TEST(QbxmlRequest, MessageSetsWithTheirVersionOnErrorAndChildrenInOrder) {
    MsgSetRequest set("US", 4, 0);
    set.onError = kContinueOnError;
    RequestElement& query = set.append("CustomerQueryRq");
    query.setAttribute("requestID", "7");
    RequestElement& first = query.append("ListID", "80000001-1165000001");
    query.append("ListID", "80000002");
    first.text = "80000001";  // earlier children stay addressable
    set.append("TransactionQueryRq");
    std::string xml = set.toXml();
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" ?>\n<?qbxml version=\"4.0\"?>\n<QBXML>", 0), 0u);
    EXPECT_EQ(outline(xml), "QBXML(QBXMLMsgsRq[onError=continueOnError](CustomerQueryRq[requestID=7]("
                            "ListID=80000001 ListID=80000002) TransactionQueryRq=))");
    set.onError = kRollbackOnError;
    EXPECT_EQ(outline(set.toXml()).substr(0, 40), "QBXML(QBXMLMsgsRq[onError=rollbackOnErro");
    EXPECT_NE(MsgSetRequest("US", 4, 0).toXml().find("onError=\"stopOnError\""), std::string::npos);
    EXPECT_NE(MsgSetRequest("CA", 3, 1).toXml().find("<?qbxml version=\"CA3.1\"?>"), std::string::npos);

    SubscriptionMsgSetRequest sub(2, 1);
    sub.append("SubscriptionDelRq").append("SubscriberID", "{A}");
    xml = sub.toXml();
    EXPECT_NE(xml.find("<?qbxml version=\"2.1\"?>"), std::string::npos);
    EXPECT_EQ(outline(xml), "QBXML(QBXMLSubscriptionMsgsRq(SubscriptionDelRq(SubscriberID={A})))");
}

TEST(QbxmlRequest, ValuesAreEscapedAndReadBackUnchanged) {
    const std::string nasty = "a&b<c>d\"e'f\r\ng </ListID><x>  ";
    MsgSetRequest set("US", 4, 0);
    set.append("CustomerQueryRq").append("ListID", nasty);
    std::string xml = set.toXml();
    EXPECT_EQ(xml.find("<x>"), std::string::npos);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str()));
    EXPECT_EQ(std::string(doc.first_element_by_path("QBXML/QBXMLMsgsRq/CustomerQueryRq/ListID")
                              .child_value()),
              nasty);
}

TEST(QbxmlResponse, StatusesRecordsAndValuesAsWritten) {
    MsgSetResponse rs(
        "<?xml version=\"1.0\" ?><QBXML><QBXMLMsgsRs>"
        "<TransactionQueryRs statusCode=\"0\" statusSeverity=\"Info\" statusMessage=\"Status OK\">"
        "<TransactionRet><TxnType>Invoice</TxnType><EntityRef><FullName>  A &amp; \"B\" 日本 </FullName>"
        "</EntityRef><Memo>   </Memo><RefNumber><![CDATA[<1>]]>2</RefNumber></TransactionRet>"
        "<TransactionRet><TxnType>Bill</TxnType></TransactionRet>"
        "</TransactionQueryRs>"
        "<CustomerQueryRs statusCode=\"500\" statusSeverity=\"Warn\" statusMessage=\"gone\"/>"
        "</QBXMLMsgsRs></QBXML>");
    ASSERT_EQ(rs.count(), 2);
    const Response& r = rs.at(0);
    EXPECT_EQ(r.statusCode, 0);
    EXPECT_EQ(r.detailCount(), 2);
    Record txn = r.detail(0);
    EXPECT_EQ(txn.required("EntityRef/FullName"), "  A & \"B\" 日本 ");
    EXPECT_EQ(txn.value("Memo"), "   ");  // a blank value is a value
    EXPECT_EQ(txn.value("RefNumber"), "<1>2");
    EXPECT_FALSE(txn.has("AccountRef"));
    EXPECT_EQ(txn.value("AccountRef/FullName"), "");
    EXPECT_EQ(r.detail(1).value("TxnType"), "Bill");

    const Response& warn = rs.at(1);
    EXPECT_EQ(warn.statusCode, 500);
    EXPECT_EQ(warn.statusSeverity, "Warn");
    try {
        warn.detail(0);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrNoRecord);
        EXPECT_EQ(e.description(), "QuickBooks returned no record. gone");
    }
    EXPECT_EQ(errorOf([&] { txn.required("TxnID"); }).number(), kErrMissingElement);
    EXPECT_EQ(errorOf([&] { rs.at(2); }).number(), kErrNoResponse);
}

TEST(QbxmlResponse, AnswersThatAreNotResponseSetsAreErrors) {
    const char* bad[] = {
        "",
        "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusCode=\"0\"",  // cut short
        "<QBXML><Other/></QBXML>",
        "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusSeverity=\"Info\"/></QBXMLMsgsRs></QBXML>",
        "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusCode=\"zero\"/></QBXMLMsgsRs></QBXML>",
        "<QBXML><QBXMLMsgsRs><CustomerQueryRs statusCode=\"0x\"/></QBXMLMsgsRs></QBXML>",
    };
    for (const char* xml : bad)
        EXPECT_EQ(errorOf([&] { MsgSetResponse rs(xml); }).number(), kErrBadAnswer) << xml;
    EXPECT_EQ(errorOf([&] { MsgSetResponse rs(bad[0]); }).description(), "QuickBooks returned an empty answer.");
    EXPECT_EQ(errorOf([&] { MsgSetResponse rs(bad[1]); }).description().substr(0, 59),
              "QuickBooks returned an answer that is not well-formed XML (");
    EXPECT_EQ(errorOf([&] { MsgSetResponse rs(bad[2]); }).description(),
              "QuickBooks returned an answer without a response set.");
    EXPECT_EQ(errorOf([&] { MsgSetResponse rs(bad[4]); }).description(),
              "QuickBooks answered CustomerQueryRs without a valid status code.");
    // A subscription response set is read the same way, and an empty one has no response 0.
    MsgSetResponse empty("<QBXML><QBXMLSubscriptionMsgsRs/></QBXML>");
    EXPECT_EQ(errorOf([&] { empty.at(0); }).number(), kErrNoResponse);
    EXPECT_EQ(errorOf([&] { empty.at(0); }).description(), "QuickBooks returned no response to the request.");
}

TEST(SessionManager, TheProcessorIsCreatedOnlyWhenAConnectionIsOpened) {
    fake::World& w = fake::install();
    auto company = marlet::testing::serveStandIn(w);
    {
        QBConnection qb(QBConnection::Leftover::Closed);
        qb->toEventsMsgSet(
            "<?xml version=\"1.0\"?><QBXML><QBXMLEvents><UIExtensionEvent><EventTag>scan</EventTag>"
            "</UIExtensionEvent></QBXMLEvents></QBXML>");
        EXPECT_EQ(errorOf([&] { qb->currentCompanyFileName(); }).description(), "No connection to QuickBooks is open.");
        qb.close();  // nothing open: nothing done
    }
    EXPECT_TRUE(w.log.empty());
    EXPECT_TRUE(company->log.empty());

    {
        // The menu's road has no session: what needs one is refused before QuickBooks is asked,
        // and the guard closes what is open.
        QBConnection qb(QBConnection::Leftover::Closed);
        qb.open(QBConnection::Road::Subscriptions, "Marlet");
        EXPECT_EQ(errorOf([&] { qb->doRequests(qb->createMsgSetRequest("US", 4, 0)); }).description(),
                  "No QuickBooks session is open.");
        EXPECT_EQ(errorOf([&] { qb->currentCompanyFileName(); }).description(), "No QuickBooks session is open.");
    }
    EXPECT_EQ(calls(*company), (std::vector<std::string>{"OpenConnection", "CloseConnection", "Release"}));
    EXPECT_EQ(company->log[0].args, (std::vector<std::string>{"", "Marlet"}));

    company->log.clear();
    {
        QBConnection qb(QBConnection::Leftover::Closed);
        qb.open(QBConnection::Road::Work, "Marlet", "{G}");
        qb.close();
        qb.close();  // the second close does nothing
    }
    EXPECT_EQ(calls(*company), (std::vector<std::string>{"OpenConnection2", "BeginSession",
                                                         "EndSession", "CloseConnection", "Release"}));
    EXPECT_EQ(company->log[0].args, (std::vector<std::string>{"{G}", "Marlet", "3"}));
    EXPECT_EQ(company->log[1].args, (std::vector<std::string>{"", "2"}));
    EXPECT_EQ(company->log[2].args[0], company->log[1].answer);  // the session's own ticket
    EXPECT_EQ(company->log[4].args[0], "closed");
}
