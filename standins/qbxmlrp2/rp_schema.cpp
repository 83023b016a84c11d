#include "standins/qbxmlrp2/rp_schema.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace qbrp {
namespace {

enum class Kind { Element, Sequence, Choice };
enum class Type { Container, Str, Id, Guid, GuidOrZero, Enum, Int, PositiveInt, Date, DateTime, Amount };

struct Attr {
    std::string name;
    bool required;
    std::vector<std::string> values;  // empty: any text
};

// One piece of a content model: an element, a sequence or a choice, with how
// often it may occur.
struct Particle {
    Kind kind = Kind::Element;
    std::string name;
    int min = 1, max = 1;  // max < 0: no limit
    // Sequence and choice: their parts. Element: one sequence, its content.
    std::vector<Particle> items;
    Type type = Type::Container;
    int maxLength = 0;  // characters, 0 for none
    std::vector<std::string> values;
    int since = 10;  // qbXML version that brought the element, in tenths
    std::vector<Attr> attributes;
};

std::vector<std::string> words(const char* list) {
    std::vector<std::string> out;
    std::istringstream in(list);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

Particle leaf(const char* name, Type type, int maxLength = 0) {
    Particle p;
    p.name = name;
    p.type = type;
    p.maxLength = maxLength;
    return p;
}

Particle enumLeaf(const char* name, const char* values) {
    Particle p = leaf(name, Type::Enum);
    p.values = words(values);
    return p;
}

Particle group(Kind kind, std::vector<Particle> items) {
    Particle p;
    p.kind = kind;
    p.items = std::move(items);
    return p;
}
Particle seq(std::vector<Particle> items) { return group(Kind::Sequence, std::move(items)); }
Particle choice(std::vector<Particle> items) { return group(Kind::Choice, std::move(items)); }

Particle elem(const char* name, std::vector<Particle> content) {
    Particle p;
    p.name = name;
    p.items.push_back(seq(std::move(content)));
    return p;
}

Particle occurs(Particle p, int min, int max) {
    p.min = min;
    p.max = max;
    return p;
}
Particle opt(Particle p) { return occurs(std::move(p), 0, 1); }
Particle rep(Particle p) { return occurs(std::move(p), 1, -1); }
Particle any(Particle p) { return occurs(std::move(p), 0, -1); }
Particle since(int version, Particle p) {
    p.since = version;
    return p;
}

Particle withAttrs(Particle p, std::vector<Attr> attrs) {
    p.attributes = std::move(attrs);
    return p;
}

const char* kDateMacros =
    "All Today ThisWeek ThisWeekToDate ThisMonth ThisMonthToDate ThisCalendarQuarter "
    "ThisCalendarQuarterToDate ThisFiscalQuarter ThisFiscalQuarterToDate ThisCalendarYear "
    "ThisCalendarYearToDate ThisFiscalYear ThisFiscalYearToDate Yesterday LastWeek LastWeekToDate "
    "LastMonth LastMonthToDate LastCalendarQuarter LastCalendarQuarterToDate LastFiscalQuarter "
    "LastFiscalQuarterToDate LastCalendarYear LastCalendarYearToDate LastFiscalYear "
    "LastFiscalYearToDate NextWeek NextFourWeeks NextMonth NextCalendarQuarter NextCalendarYear "
    "NextFiscalQuarter NextFiscalYear";

const char* kConditions =
    "AccountantCopyExists AssemblyItemsEnabled ClassesEnabled EstimatesEnabled HasCustomers "
    "HasVendors InventoryEnabled IsAccountantCopy MultiUserMode PayrollEnabled PriceLevelsEnabled "
    "SalesOrdersEnabled SalesTaxEnabled TimeTrackingEnabled";

const std::vector<Attr> kQueryAttrs = {
    {"requestID", false, {}},
    {"metaData", false, words("NoMetaData MetaDataOnly MetaDataAndResponseData")},
};
const std::vector<Attr> kRequestAttrs = {{"requestID", false, {}}};

// ListID OR FullName OR ListIDWithChildren OR FullNameWithChildren, with a first
// alternative of its own (a type filter) where the filter has one.
Particle listFilter(const char* name, std::vector<Particle> first, int nameMax) {
    std::vector<Particle> ways = std::move(first);
    ways.push_back(rep(leaf("ListID", Type::Id)));
    ways.push_back(rep(leaf("FullName", Type::Str, nameMax)));
    ways.push_back(leaf("ListIDWithChildren", Type::Id));
    ways.push_back(leaf("FullNameWithChildren", Type::Str, nameMax));
    return opt(elem(name, {choice(std::move(ways))}));
}

Particle dateRange(const char* name, const char* from, const char* to, Type type) {
    return opt(elem(name, {choice({seq({opt(leaf(from, type)), opt(leaf(to, type))}),
                                   enumLeaf("DateMacro", kDateMacros)})}));
}

Particle customerQuery() {
    return withAttrs(
        elem("CustomerQueryRq",
             {opt(choice(
                  {rep(leaf("ListID", Type::Id)), rep(leaf("FullName", Type::Str, 209)),
                   seq({opt(leaf("MaxReturned", Type::PositiveInt)),
                        opt(enumLeaf("ActiveStatus", "ActiveOnly InactiveOnly All")),
                        opt(leaf("FromModifiedDate", Type::DateTime)),
                        opt(leaf("ToModifiedDate", Type::DateTime)),
                        opt(choice({elem("NameFilter",
                                         {enumLeaf("MatchCriterion", "StartsWith Contains EndsWith"),
                                          leaf("Name", Type::Str)}),
                                    elem("NameRangeFilter", {opt(leaf("FromName", Type::Str)),
                                                             opt(leaf("ToName", Type::Str))})})),
                        opt(elem("TotalBalanceFilter",
                                 {enumLeaf("Operator",
                                           "LessThan LessThanEqual Equal GreaterThan GreaterThanEqual"),
                                  leaf("Amount", Type::Amount)}))})})),
              since(40, any(leaf("IncludeRetElement", Type::Str, 50))),
              since(20, any(leaf("OwnerID", Type::GuidOrZero)))}),
        kQueryAttrs);
}

Particle transactionQuery() {
    Particle refNumbers = opt(choice(
        {rep(leaf("RefNumber", Type::Str)), rep(leaf("RefNumberCaseSensitive", Type::Str)),
         elem("RefNumberFilter", {enumLeaf("MatchCriterion", "StartsWith Contains EndsWith"),
                                  leaf("RefNumber", Type::Str)}),
         elem("RefNumberRangeFilter",
              {opt(leaf("FromRefNumber", Type::Str)), opt(leaf("ToRefNumber", Type::Str))})}));
    Particle filters = seq({
        opt(leaf("MaxReturned", Type::PositiveInt)),
        refNumbers,
        dateRange("TransactionModifiedDateRangeFilter", "FromModifiedDate", "ToModifiedDate",
                  Type::DateTime),
        dateRange("TransactionDateRangeFilter", "FromTxnDate", "ToTxnDate", Type::Date),
        listFilter("TransactionEntityFilter",
                   {enumLeaf("EntityTypeFilter", "Customer Employee OtherName Vendor")}, 209),
        listFilter("TransactionAccountFilter",
                   {enumLeaf("AccountTypeFilter",
                             "AccountsPayable AccountsReceivable AllowedFor1099 APAndSalesTax "
                             "APOrCreditCard ARAndAP Asset BalanceSheet Bank BankAndARAndAPAndUF "
                             "BankAndUF CostOfSales CreditCard CurrentAsset CurrentAssetAndExpense "
                             "CurrentLiability Equity EquityAndIncomeAndExpense ExpenseAndOtherExpense "
                             "FixedAsset IncomeAndExpense IncomeAndOtherIncome Liability "
                             "LiabilityAndEquity LongTermLiability NonPosting OrdinaryExpense "
                             "OrdinaryIncome OrdinaryIncomeAndCOGS OrdinaryIncomeAndExpense OtherAsset "
                             "OtherCurrentAsset OtherCurrentLiability OtherExpense OtherIncome "
                             "OtherIncomeOrExpense")},
                   159),
        listFilter("TransactionItemFilter",
                   {enumLeaf("ItemTypeFilter",
                             "AllExceptFixedAsset Assembly Discount FixedAsset Inventory "
                             "InventoryAndAssembly NonInventory OtherCharge Payment Sales SalesTax "
                             "Service")},
                   159),
        listFilter("TransactionClassFilter", {}, 159),
        opt(elem("TransactionTypeFilter",
                 {rep(enumLeaf("TxnTypeFilter",
                               "All Bill BillPaymentCheck BillPaymentCreditCard BuildAssembly Charge "
                               "Check CreditCardCharge CreditCardCredit CreditMemo Deposit Estimate "
                               "InventoryAdjustment Invoice ItemReceipt JournalEntry "
                               "LiabilityAdjustment Paycheck PayrollLiabilityCheck PurchaseOrder "
                               "ReceivePayment SalesOrder SalesReceipt SalesTaxPaymentCheck Transfer "
                               "VendorCredit YTDAdjustment"))})),
        opt(enumLeaf("TransactionDetailLevelFilter", "All SummaryOnly AllExceptSummary")),
        opt(enumLeaf("TransactionPostingStatusFilter", "Either NonPosting Posting")),
        opt(enumLeaf("TransactionPaidStatusFilter", "Either Closed Open")),
    });
    return since(40, withAttrs(elem("TransactionQueryRq",
                                    {opt(choice({rep(leaf("TxnID", Type::Id)), filters})),
                                     any(leaf("IncludeRetElement", Type::Str, 50))}),
                               kQueryAttrs));
}

Particle displayCondition() {
    return opt(elem("DisplayCondition", {any(enumLeaf("VisibleIf", kConditions)),
                                         any(enumLeaf("VisibleIfNot", kConditions)),
                                         any(enumLeaf("EnabledIf", kConditions)),
                                         any(enumLeaf("EnabledIfNot", kConditions))}));
}

Particle menuItem() {
    return elem("MenuItem", {leaf("MenuText", Type::Str, 50), leaf("EventTag", Type::Str, 50),
                             displayCondition()});
}

Particle uiExtensionSubscriptionAdd() {
    return since(
        30,
        withAttrs(
            elem("UIExtensionSubscriptionAddRq",
                 {elem("UIExtensionSubscriptionAdd",
                       {leaf("SubscriberID", Type::Guid),
                        elem("COMCallbackInfo",
                             {leaf("AppName", Type::Str, 128),
                              choice({leaf("ProgID", Type::Str, 128), leaf("CLSID", Type::Guid)})}),
                        elem("MenuExtensionSubscription",
                             {enumLeaf("AddToMenu", "File Company Customers Vendors Employees Banking"),
                              choice({elem("Submenu", {displayCondition(), rep(menuItem())}),
                                      menuItem()})})})}),
            kRequestAttrs));
}

Particle subscriptionDel() {
    return since(30, withAttrs(elem("SubscriptionDelRq",
                                    {leaf("SubscriberID", Type::Guid),
                                     enumLeaf("SubscriptionType", "Data UI UIExtension")}),
                               kRequestAttrs));
}

Particle hostQuery() {
    return withAttrs(elem("HostQueryRq", {since(40, any(leaf("IncludeRetElement", Type::Str, 50)))}),
                     kRequestAttrs);
}

Particle uiExtensionSubscriptionQuery() {
    return since(30, withAttrs(elem("UIExtensionSubscriptionQueryRq", {leaf("SubscriberID", Type::Guid)}),
                               kRequestAttrs));
}

const std::vector<Particle>& requests(MsgSetKind kind) {
    static const std::vector<Particle> data = {hostQuery(), customerQuery(), transactionQuery()};
    static const std::vector<Particle> subscription = {
        uiExtensionSubscriptionAdd(), uiExtensionSubscriptionQuery(), subscriptionDel()};
    return kind == MsgSetKind::Data ? data : subscription;
}

// --- matching element children against a content model

using Positions = std::set<size_t>;

struct Matcher {
    Matcher(const std::vector<pugi::xml_node>& kids, int version) : kids(kids), version(version) {}
    const std::vector<pugi::xml_node>& kids;
    int version;
    size_t furthest = 0;                            // children matched so far, at best
    std::map<size_t, std::set<std::string>> tried;  // position -> element names tried there

    Positions once(const Particle& p, size_t pos) {
        switch (p.kind) {
        case Kind::Element:
            if (p.since > version) return {};
            tried[pos].insert(p.name);
            if (pos < kids.size() && p.name == kids[pos].name()) {
                furthest = std::max(furthest, pos + 1);
                return {pos + 1};
            }
            return {};
        case Kind::Sequence: {
            Positions at = {pos};
            for (const Particle& item : p.items) {
                at = repeat(item, at);
                if (at.empty()) break;
            }
            return at;
        }
        case Kind::Choice: {
            Positions all;
            for (const Particle& item : p.items) {
                Positions ends = repeat(item, {pos});
                all.insert(ends.begin(), ends.end());
            }
            return all;
        }
        }
        return {};
    }

    // Every position where `min` to `max` occurrences of `p`, started at `from`, can end.
    Positions repeat(const Particle& p, const Positions& from) {
        Positions result;
        if (p.min == 0) result = from;
        Positions frontier = from, seen = from;
        for (int i = 1; p.max < 0 || i <= p.max; i++) {
            Positions next;
            for (size_t s : frontier) {
                Positions ends = once(p, s);
                next.insert(ends.begin(), ends.end());
            }
            if (i >= p.min) result.insert(next.begin(), next.end());
            Positions fresh;
            for (size_t n : next)
                if (seen.insert(n).second) fresh.insert(n);
            if (fresh.empty()) break;
            frontier = fresh;
        }
        return result;
    }
};

// The definition of a child element named `name` within a content model.
const Particle* findChild(const Particle& model, const char* name) {
    for (const Particle& item : model.items) {
        if (item.kind == Kind::Element) {
            if (item.name == name) return &item;
        } else if (const Particle* found = findChild(item, name)) {
            return found;
        }
    }
    return nullptr;
}

std::string textOf(pugi::xml_node node) {
    std::string text;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
    return text;
}

size_t characters(const std::string& utf8) {
    size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) n++;
    return n;
}

bool digits(const std::string& s, size_t from, size_t count) {
    if (from + count > s.size()) return false;
    for (size_t i = from; i < from + count; i++)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

bool isDate(const std::string& s) {
    return s.size() >= 10 && digits(s, 0, 4) && s[4] == '-' && digits(s, 5, 2) && s[7] == '-' &&
           digits(s, 8, 2);
}

bool isDateTime(const std::string& s) {
    if (!isDate(s)) return false;
    if (s.size() == 10) return true;
    if (s.size() < 19 || s[10] != 'T' || !digits(s, 11, 2) || s[13] != ':' || !digits(s, 14, 2) ||
        s[16] != ':' || !digits(s, 17, 2))
        return false;
    std::string zone = s.substr(19);
    return zone.empty() || zone == "Z" ||
           (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && digits(zone, 1, 2) &&
            zone[3] == ':' && digits(zone, 4, 2));
}

bool isInt(const std::string& s, bool positive) {
    size_t start = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (!digits(s, start, s.size() - start) || s.size() == start) return false;
    return !positive || (s[0] != '-' && s.find_first_not_of("0+") != std::string::npos);
}

bool isAmount(const std::string& s) {
    size_t dot = s.find('.');
    if (dot == std::string::npos) return isInt(s, false);
    return isInt(s.substr(0, dot), false) && digits(s, dot + 1, s.size() - dot - 1);
}

bool isHex(const std::string& s, size_t from, size_t count) {
    for (size_t i = from; i < from + count; i++)
        if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

bool isGuid(const std::string& s) {
    return s.size() == 38 && s[0] == '{' && s[37] == '}' && isHex(s, 1, 8) && s[9] == '-' &&
           isHex(s, 10, 4) && s[14] == '-' && isHex(s, 15, 4) && s[19] == '-' && isHex(s, 20, 4) &&
           s[24] == '-' && isHex(s, 25, 12);
}

bool inList(const std::vector<std::string>& list, const std::string& value) {
    for (const std::string& v : list)
        if (v == value) return true;
    return false;
}

bool blank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

[[noreturn]] void invalid(const std::string& path, const std::string& what) {
    throw Invalid(path + ": " + what);
}

void checkValue(const Particle& def, const std::string& value, const std::string& path) {
    bool ok = true;
    switch (def.type) {
    case Type::Container: break;
    case Type::Str: ok = def.maxLength == 0 || characters(value) <= size_t(def.maxLength); break;
    case Type::Id: ok = !value.empty(); break;
    case Type::Guid: ok = isGuid(value); break;
    case Type::GuidOrZero: ok = value == "0" || isGuid(value); break;
    case Type::Enum: ok = inList(def.values, value); break;
    case Type::Int: ok = isInt(value, false); break;
    case Type::PositiveInt: ok = isInt(value, true); break;
    case Type::Date: ok = isDate(value) && value.size() == 10; break;
    case Type::DateTime: ok = isDateTime(value); break;
    case Type::Amount: ok = isAmount(value); break;
    }
    if (!ok) invalid(path, "the value \"" + value + "\" is not allowed here");
}

void checkAttributes(pugi::xml_node node, const std::vector<Attr>& allowed, const std::string& path) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const Attr* def = nullptr;
        for (const Attr& d : allowed)
            if (d.name == a.name()) def = &d;
        if (!def) invalid(path, std::string("the attribute ") + a.name() + " is not allowed");
        if (!def->values.empty() && !inList(def->values, a.value()))
            invalid(path, std::string("the attribute ") + a.name() + " may not be \"" + a.value() +
                              "\"");
    }
    for (const Attr& d : allowed)
        if (d.required && !node.attribute(d.name.c_str()))
            invalid(path, "the attribute " + d.name + " is required");
}

std::string alternatives(const std::set<std::string>& names) {
    if (names.empty()) return "nothing more";
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : " or ") + n;
    return text;
}

void checkElement(pugi::xml_node node, const Particle& def, int version, const std::string& path) {
    checkAttributes(node, def.attributes, path);
    std::vector<pugi::xml_node> kids;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element) kids.push_back(c);
        if (c.type() == pugi::node_pi || c.type() == pugi::node_doctype)
            invalid(path, "markup other than elements is not allowed here");
    }
    if (def.type != Type::Container) {
        if (!kids.empty()) invalid(path, std::string("<") + kids[0].name() + "> is not allowed inside a value");
        checkValue(def, textOf(node), path);
        return;
    }
    if (!blank(textOf(node))) invalid(path, "text is not allowed here");
    Matcher m(kids, version);
    Positions ends = m.repeat(def.items[0], {0});
    if (!ends.count(kids.size())) {
        std::string expected = alternatives(m.tried[m.furthest]);
        if (m.furthest < kids.size())
            invalid(path, std::string("<") + kids[m.furthest].name() +
                              "> is unknown or out of order here (expected " + expected + ")");
        invalid(path, "a required element is missing (expected " + expected + ")");
    }
    for (pugi::xml_node kid : kids)
        checkElement(kid, *findChild(def.items[0], kid.name()), version,
                     path + "/" + kid.name());
}

const Particle& messageSet(MsgSetKind kind) {
    static const Particle data = withAttrs(
        elem("QBXMLMsgsRq", {}),
        {{"oldMessageSetID", false, {}},
         {"newMessageSetID", false, {}},
         {"responseData", false, words("includeAll includeNone")},
         {"onError", true, words("stopOnError continueOnError rollbackOnError")}});
    static const Particle subscription = elem("QBXMLSubscriptionMsgsRq", {});
    return kind == MsgSetKind::Data ? data : subscription;
}

}  // namespace

bool supportedVersion(const std::string& text, int& version) {
    static const std::map<std::string, int> known = {{"1.0", 10}, {"1.1", 11}, {"2.0", 20},
                                                     {"2.1", 21}, {"3.0", 30}, {"4.0", 40}};
    auto it = known.find(text);
    if (it == known.end()) return false;
    version = it->second;
    return true;
}

// The value of version="..." in the instruction's text.
static bool versionOf(const std::string& pi, std::string& value) {
    size_t at = pi.find("version");
    if (at == std::string::npos) return false;
    at = pi.find_first_not_of(" \t\r\n", at + 7);
    if (at == std::string::npos || pi[at] != '=') return false;
    at = pi.find_first_not_of(" \t\r\n", at + 1);
    if (at == std::string::npos || (pi[at] != '"' && pi[at] != '\'')) return false;
    size_t end = pi.find(pi[at], at + 1);
    if (end == std::string::npos) return false;
    value = pi.substr(at + 1, end - at - 1);
    return true;
}

pugi::xml_node checkRequestDocument(const pugi::xml_document& doc, MsgSetKind kind, int& version) {
    pugi::xml_node root;
    bool haveVersion = false;
    for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
        switch (c.type()) {
        case pugi::node_declaration:
        case pugi::node_comment:
            break;
        case pugi::node_pi:
            if (std::strcmp(c.name(), "qbxml") != 0) break;
            if (root) throw Invalid("the <?qbxml version?> instruction must come before <QBXML>");
            {
                std::string text;
                if (!versionOf(c.value(), text))
                    throw Invalid("the <?qbxml?> instruction names no version");
                if (!supportedVersion(text, version))
                    throw Invalid("qbXML version \"" + text + "\" is not supported");
                haveVersion = true;
            }
            break;
        case pugi::node_element:
            if (root) throw Invalid("more than one root element");
            root = c;
            break;
        default:
            throw Invalid("the document holds markup that is not allowed (DOCTYPE or text)");
        }
    }
    if (!haveVersion) throw Invalid("the <?qbxml version?> instruction is missing");
    if (!root || std::strcmp(root.name(), "QBXML") != 0)
        throw Invalid("the root element must be <QBXML>");
    if (root.first_attribute()) throw Invalid("QBXML: attributes are not allowed");
    const Particle& setDef = messageSet(kind);
    pugi::xml_node set;
    for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element) {
            if (set || setDef.name != c.name())
                throw Invalid(std::string("QBXML: <") + c.name() + "> is not expected here (expected " +
                              (set ? "nothing more" : setDef.name) + ")");
            set = c;
        } else if (c.type() != pugi::node_comment && !blank(c.value())) {
            throw Invalid("QBXML: text is not allowed here");
        }
    }
    if (!set) throw Invalid("QBXML: the message set <" + setDef.name + "> is missing");
    std::string setPath = "QBXML/" + setDef.name;
    checkAttributes(set, setDef.attributes, setPath);
    int count = 0;
    for (pugi::xml_node c = set.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) {
            if (c.type() != pugi::node_comment && !blank(c.value()))
                throw Invalid(setPath + ": text is not allowed here");
            continue;
        }
        const Particle* def = nullptr;
        for (const Particle& r : requests(kind))
            if (r.name == c.name() && r.since <= version) def = &r;
        if (!def)
            throw Invalid(setPath + ": <" + c.name() + "> is not a request this QuickBooks takes" +
                          " in qbXML " + std::to_string(version / 10) + "." +
                          std::to_string(version % 10));
        checkElement(c, *def, version, setPath + "/" + c.name());
        count++;
    }
    if (count == 0) throw Invalid(setPath + ": the message set holds no request");
    return set;
}

}  // namespace qbrp
