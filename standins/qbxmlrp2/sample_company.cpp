// The sample company the stand-in serves when no company data file is beside it.
// Names and memos cover what a lookup must pass on untouched: a double quote,
// leading and trailing blanks, accents, CJK, and the XML specials & < >.
#include "standins/qbxmlrp2/rp_core.h"

namespace qbrp {

const char kSampleCompany[] = R"(<?xml version="1.0" encoding="utf-8"?>
<QBCompany name="Marlet Sample Company">
  <CustomerRet>
    <ListID>80000001-1165000001</ListID>
    <TimeCreated>2006-12-01T09:00:00-08:00</TimeCreated>
    <TimeModified>2007-02-14T11:20:00-08:00</TimeModified>
    <EditSequence>1171480800</EditSequence>
    <Name>Abercrombie, Kristy</Name>
    <FullName>Abercrombie, Kristy</FullName>
    <IsActive>true</IsActive>
    <Sublevel>0</Sublevel>
    <FirstName>Kristy</FirstName>
    <LastName>Abercrombie</LastName>
    <Phone>415-555-6579</Phone>
    <Balance>1250.00</Balance>
    <TotalBalance>1250.00</TotalBalance>
  </CustomerRet>
  <CustomerRet>
    <ListID>80000002-1165000002</ListID>
    <TimeCreated>2006-12-01T09:05:00-08:00</TimeCreated>
    <TimeModified>2007-02-14T11:20:00-08:00</TimeModified>
    <EditSequence>1171480801</EditSequence>
    <Name>Family Room</Name>
    <FullName>Abercrombie, Kristy:Family Room</FullName>
    <IsActive>true</IsActive>
    <ParentRef>
      <ListID>80000001-1165000001</ListID>
      <FullName>Abercrombie, Kristy</FullName>
    </ParentRef>
    <Sublevel>1</Sublevel>
    <Balance>1250.00</Balance>
    <TotalBalance>1250.00</TotalBalance>
    <JobStatus>InProgress</JobStatus>
  </CustomerRet>
  <CustomerRet>
    <ListID>80000003-1165000003</ListID>
    <TimeCreated>2006-12-02T10:00:00-08:00</TimeCreated>
    <TimeModified>2006-12-02T10:00:00-08:00</TimeModified>
    <EditSequence>1165082400</EditSequence>
    <Name>Sam "Ace" Rivera</Name>
    <FullName>Sam "Ace" Rivera</FullName>
    <IsActive>true</IsActive>
    <Sublevel>0</Sublevel>
    <Balance>0.00</Balance>
    <TotalBalance>0.00</TotalBalance>
  </CustomerRet>
  <CustomerRet>
    <ListID>80000004-1165000004</ListID>
    <TimeCreated>2006-12-03T08:30:00-08:00</TimeCreated>
    <TimeModified>2006-12-03T08:30:00-08:00</TimeModified>
    <EditSequence>1165163400</EditSequence>
    <Name>  Lindqvist Marine  </Name>
    <FullName>  Lindqvist Marine  </FullName>
    <IsActive>true</IsActive>
    <Sublevel>0</Sublevel>
    <Balance>-85.50</Balance>
    <TotalBalance>-85.50</TotalBalance>
  </CustomerRet>
  <CustomerRet>
    <ListID>80000005-1165000005</ListID>
    <TimeCreated>2006-12-04T14:00:00-08:00</TimeCreated>
    <TimeModified>2007-01-09T16:45:00-08:00</TimeModified>
    <EditSequence>1168389900</EditSequence>
    <Name>Café Müller &amp; Söhne</Name>
    <FullName>Café Müller &amp; Söhne</FullName>
    <IsActive>true</IsActive>
    <Sublevel>0</Sublevel>
    <CompanyName>Café Müller &amp; Söhne GmbH</CompanyName>
    <Balance>2480.00</Balance>
    <TotalBalance>2480.00</TotalBalance>
  </CustomerRet>
  <CustomerRet>
    <ListID>80000006-1165000006</ListID>
    <TimeCreated>2006-12-04T14:10:00-08:00</TimeCreated>
    <TimeModified>2007-01-09T16:45:00-08:00</TimeModified>
    <EditSequence>1168389901</EditSequence>
    <Name>Küche &lt;Phase 2&gt;</Name>
    <FullName>Café Müller &amp; Söhne:Küche &lt;Phase 2&gt;</FullName>
    <IsActive>true</IsActive>
    <ParentRef>
      <ListID>80000005-1165000005</ListID>
      <FullName>Café Müller &amp; Söhne</FullName>
    </ParentRef>
    <Sublevel>1</Sublevel>
    <Balance>2480.00</Balance>
    <TotalBalance>2480.00</TotalBalance>
    <JobStatus>Awarded</JobStatus>
  </CustomerRet>
  <CustomerRet>
    <ListID>80000007-1165000007</ListID>
    <TimeCreated>2006-12-05T09:00:00-08:00</TimeCreated>
    <TimeModified>2006-12-05T09:00:00-08:00</TimeModified>
    <EditSequence>1165338000</EditSequence>
    <Name>山田商事株式会社</Name>
    <FullName>山田商事株式会社</FullName>
    <IsActive>true</IsActive>
    <Sublevel>0</Sublevel>
    <Balance>300.00</Balance>
    <TotalBalance>300.00</TotalBalance>
  </CustomerRet>
  <CustomerRet>
    <ListID>80000008-1165000008</ListID>
    <TimeCreated>2006-12-06T09:00:00-08:00</TimeCreated>
    <TimeModified>2007-01-02T09:00:00-08:00</TimeModified>
    <EditSequence>1167757200</EditSequence>
    <Name>Zeller Freight</Name>
    <FullName>Zeller Freight</FullName>
    <IsActive>false</IsActive>
    <Sublevel>0</Sublevel>
    <Balance>0.00</Balance>
    <TotalBalance>0.00</TotalBalance>
  </CustomerRet>
  <TransactionRet>
    <TxnType>Invoice</TxnType>
    <TxnID>1A-1165000101</TxnID>
    <TimeCreated>2007-03-01T09:15:00-08:00</TimeCreated>
    <TimeModified>2007-03-01T09:15:00-08:00</TimeModified>
    <EntityRef>
      <ListID>80000002-1165000002</ListID>
      <FullName>Abercrombie, Kristy:Family Room</FullName>
    </EntityRef>
    <AccountRef>
      <ListID>80000020-1165000020</ListID>
      <FullName>Accounts Receivable</FullName>
    </AccountRef>
    <TxnDate>2007-03-01</TxnDate>
    <RefNumber>1001</RefNumber>
    <Amount>1250.00</Amount>
    <Memo>Cabinet deposit</Memo>
  </TransactionRet>
  <TransactionRet>
    <TxnType>Invoice</TxnType>
    <TxnID>1B-1165000102</TxnID>
    <TimeCreated>2007-03-02T10:00:00-08:00</TimeCreated>
    <TimeModified>2007-03-02T10:00:00-08:00</TimeModified>
    <EntityRef>
      <ListID>80000003-1165000003</ListID>
      <FullName>Sam "Ace" Rivera</FullName>
    </EntityRef>
    <AccountRef>
      <ListID>80000020-1165000020</ListID>
      <FullName>Accounts Receivable</FullName>
    </AccountRef>
    <TxnDate>2007-03-02</TxnDate>
    <Amount>420.00</Amount>
    <Memo>Ask for "Ace" on site</Memo>
  </TransactionRet>
  <TransactionRet>
    <TxnType>Bill</TxnType>
    <TxnID>1C-1165000103</TxnID>
    <TimeCreated>2007-03-03T08:00:00-08:00</TimeCreated>
    <TimeModified>2007-03-03T08:00:00-08:00</TimeModified>
    <EntityRef>
      <ListID>80000010-1165000010</ListID>
      <FullName>Pacific Power &amp; Light</FullName>
    </EntityRef>
    <AccountRef>
      <ListID>80000021-1165000021</ListID>
      <FullName>Accounts Payable</FullName>
    </AccountRef>
    <TxnDate>2007-03-03</TxnDate>
    <RefNumber>PPL-0307</RefNumber>
    <Amount>212.37</Amount>
  </TransactionRet>
  <TransactionRet>
    <TxnType>Check</TxnType>
    <TxnID>1D-1165000104</TxnID>
    <TimeCreated>2007-03-04T13:30:00-08:00</TimeCreated>
    <TimeModified>2007-03-04T13:30:00-08:00</TimeModified>
    <EntityRef>
      <ListID>80000011-1165000011</ListID>
      <FullName>Kovács Szerszám Kft.</FullName>
    </EntityRef>
    <AccountRef>
      <ListID>80000022-1165000022</ListID>
      <FullName>Checking</FullName>
    </AccountRef>
    <TxnDate>2007-03-04</TxnDate>
    <Amount>-96.00</Amount>
  </TransactionRet>
  <TransactionRet>
    <TxnType>JournalEntry</TxnType>
    <TxnID>1E-1165000105</TxnID>
    <TimeCreated>2007-03-05T17:00:00-08:00</TimeCreated>
    <TimeModified>2007-03-05T17:00:00-08:00</TimeModified>
    <TxnDate>2007-03-05</TxnDate>
    <RefNumber>JE-12</RefNumber>
    <Amount>500.00</Amount>
    <Memo>Year-end accrual</Memo>
  </TransactionRet>
  <TransactionRet>
    <TxnType>SalesReceipt</TxnType>
    <TxnID>1F-1165000106</TxnID>
    <TimeCreated>2007-03-06T09:45:00-08:00</TimeCreated>
    <TimeModified>2007-03-06T09:45:00-08:00</TimeModified>
    <EntityRef>
      <ListID>80000007-1165000007</ListID>
      <FullName>山田商事株式会社</FullName>
    </EntityRef>
    <AccountRef>
      <ListID>80000023-1165000023</ListID>
      <FullName>Undeposited Funds</FullName>
    </AccountRef>
    <TxnDate>2007-03-06</TxnDate>
    <RefNumber>3001</RefNumber>
    <Amount>300.00</Amount>
    <Memo>月次請求</Memo>
  </TransactionRet>
  <TransactionRet>
    <TxnType>CreditMemo</TxnType>
    <TxnID>20-1165000107</TxnID>
    <TimeCreated>2007-03-07T11:00:00-08:00</TimeCreated>
    <TimeModified>2007-03-07T11:00:00-08:00</TimeModified>
    <EntityRef>
      <ListID>80000004-1165000004</ListID>
      <FullName>  Lindqvist Marine  </FullName>
    </EntityRef>
    <AccountRef>
      <ListID>80000020-1165000020</ListID>
      <FullName>Accounts Receivable</FullName>
    </AccountRef>
    <TxnDate>2007-03-07</TxnDate>
    <RefNumber> 42 </RefNumber>
    <Amount>-85.50</Amount>
    <Memo>  returned hull fittings  </Memo>
  </TransactionRet>
  <TransactionRet>
    <TxnType>Invoice</TxnType>
    <TxnID>21-1165000108</TxnID>
    <TimeCreated>2007-03-08T15:20:00-08:00</TimeCreated>
    <TimeModified>2007-03-08T15:20:00-08:00</TimeModified>
    <EntityRef>
      <ListID>80000006-1165000006</ListID>
      <FullName>Café Müller &amp; Söhne:Küche &lt;Phase 2&gt;</FullName>
    </EntityRef>
    <AccountRef>
      <ListID>80000020-1165000020</ListID>
      <FullName>Accounts Receivable</FullName>
    </AccountRef>
    <TxnDate>2007-03-08</TxnDate>
    <RefNumber>1002</RefNumber>
    <Amount>2480.00</Amount>
    <Memo>Tiles &amp; grout &lt;urgent&gt;</Memo>
  </TransactionRet>
  <TransactionRet>
    <TxnType>Estimate</TxnType>
    <TxnID>22-1165000109</TxnID>
    <TimeCreated>2007-03-09T08:10:00-08:00</TimeCreated>
    <TimeModified>2007-03-09T08:10:00-08:00</TimeModified>
    <EntityRef>
      <ListID>80000005-1165000005</ListID>
      <FullName>Café Müller &amp; Söhne</FullName>
    </EntityRef>
    <TxnDate>2007-03-09</TxnDate>
    <Amount>3900.00</Amount>
  </TransactionRet>
</QBCompany>
)";

}  // namespace qbrp
