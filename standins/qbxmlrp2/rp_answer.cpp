// Answers to checked requests: the host, record queries from the company data,
// and the UI-extension subscriptions kept by subscriber.
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "standins/qbxmlrp2/rp_core.h"

namespace qbrp {

namespace {

struct Status {
    int code;
    std::string severity;
    std::string message;
};

const Status kOk = {0, "Info", "Status OK"};
const Status kInternalError = {1000, "Error", "There has been an internal error when processing the request."};

void appendEscaped(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
}

void attribute(std::string& out, const char* name, const std::string& value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendEscaped(out, value);
    out += '"';
}

// The opening tag of the response to `request` (...Rq answered by ...Rs).
std::string responseTag(pugi::xml_node request, const Status& status, int retCount) {
    std::string name = request.name();
    name.replace(name.size() - 2, 2, "Rs");
    std::string out = "<" + name;
    if (pugi::xml_attribute id = request.attribute("requestID")) attribute(out, "requestID", id.value());
    attribute(out, "statusCode", std::to_string(status.code));
    attribute(out, "statusSeverity", status.severity);
    attribute(out, "statusMessage", status.message);
    if (retCount >= 0) attribute(out, "retCount", std::to_string(retCount));
    return out + ">\n";
}

std::string closingTag(pugi::xml_node request) {
    std::string name = request.name();
    name.replace(name.size() - 2, 2, "Rs");
    return "</" + name + ">\n";
}

std::string textOf(pugi::xml_node node) {
    std::string text;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
    return text;
}

// A record as it is returned: the configured element taken out, and only the
// asked-for elements when the request names some.
std::string recordText(pugi::xml_node record, const Config& config,
                       const std::vector<std::string>& include) {
    pugi::xml_document copy;
    pugi::xml_node r = copy.append_copy(record);
    if (!config.dropElement.empty())
        if (pugi::xml_node e = r.first_element_by_path(config.dropElement.c_str()))
            e.parent().remove_child(e);
    if (!include.empty()) {
        for (pugi::xml_node c = r.first_child(); c;) {
            pugi::xml_node next = c.next_sibling();
            bool keep = false;
            for (const std::string& name : include) keep = keep || name == c.name();
            if (!keep) r.remove_child(c);
            c = next;
        }
    }
    struct : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    } out;
    r.print(out, "", pugi::format_raw);
    return out.text + "\n";
}

std::string localTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm t = *std::localtime(&now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &t);
    return text;
}

// CustomerQueryRq and TransactionQueryRq: by identifiers (or customer full
// names) when the request names some, else every record of the kind.
std::string answerQuery(Company& company, pugi::xml_node request, const char* recordName,
                        const char* idName, const char* fullName) {
    std::vector<std::string> wanted, include;
    const char* keyName = idName;
    for (pugi::xml_node c : request.children(idName)) wanted.push_back(textOf(c));
    if (wanted.empty() && fullName) {
        keyName = fullName;
        for (pugi::xml_node c : request.children(fullName)) wanted.push_back(textOf(c));
    }
    for (pugi::xml_node c : request.children("IncludeRetElement")) include.push_back(textOf(c));

    pugi::xml_node all = company.data.child("QBCompany");
    std::vector<pugi::xml_node> found;
    Status status = kOk;
    if (!wanted.empty()) {
        for (const std::string& key : wanted) {
            pugi::xml_node match;
            for (pugi::xml_node r : all.children(recordName))
                if (textOf(r.child(keyName)) == key) match = r;
            if (match) {
                found.push_back(match);
            } else if (status.code == 0) {
                status = {500, "Warn",
                          "The query request has not been fully completed. There was a required "
                          "element (\"" + key + "\") that could not be found in QuickBooks."};
            }
        }
    } else {
        std::string active = request.child_value("ActiveStatus");
        if (active.empty()) active = "ActiveOnly";
        long max = request.child("MaxReturned") ? std::strtol(request.child_value("MaxReturned"), nullptr, 10) : -1;
        for (pugi::xml_node r : all.children(recordName)) {
            bool isActive = std::strcmp(r.child_value("IsActive"), "false") != 0;
            if (std::strcmp(recordName, "CustomerRet") == 0 &&
                ((active == "ActiveOnly" && !isActive) || (active == "InactiveOnly" && isActive)))
                continue;
            if (max >= 0 && long(found.size()) >= max) break;
            found.push_back(r);
        }
        if (found.empty())
            status = {1, "Info", "A query request did not find a matching object in QuickBooks"};
    }
    std::string out = responseTag(request, status, int(found.size()));
    if (std::strcmp(request.attribute("metaData").value(), "MetaDataOnly") != 0)
        for (pugi::xml_node r : found) out += recordText(r, company.config, include);
    return out + closingTag(request);
}

// What the stand-in says about itself: a QuickBooks that takes every qbXML
// version the stand-in checks, with the company file open for one user.
const char kHost[] =
    "<HostRet><ProductName>QuickBooks Pro 2006</ProductName><MajorVersion>16</MajorVersion>"
    "<MinorVersion>0</MinorVersion><Country>US</Country><SupportedQBXMLVersion>1.0</SupportedQBXMLVersion>"
    "<SupportedQBXMLVersion>1.1</SupportedQBXMLVersion><SupportedQBXMLVersion>2.0</SupportedQBXMLVersion>"
    "<SupportedQBXMLVersion>2.1</SupportedQBXMLVersion><SupportedQBXMLVersion>3.0</SupportedQBXMLVersion>"
    "<SupportedQBXMLVersion>4.0</SupportedQBXMLVersion><IsAutomaticLogin>false</IsAutomaticLogin>"
    "<QBFileMode>SingleUser</QBFileMode></HostRet>";

std::string answerHostQuery(Company& company, pugi::xml_node request) {
    if (company.config.failRequest == request.name())
        return responseTag(request, kInternalError, -1) + closingTag(request);
    pugi::xml_document host;
    host.load_string(kHost);
    std::vector<std::string> include;
    for (pugi::xml_node c : request.children("IncludeRetElement")) include.push_back(textOf(c));
    return responseTag(request, kOk, -1) + recordText(host.first_child(), Config(), include) + closingTag(request);
}

pugi::xml_node storedSubscription(pugi::xml_node store, const std::string& subscriberID) {
    for (pugi::xml_node ret : store.children("UIExtensionSubscriptionRet"))
        if (textOf(ret.child("SubscriberID")) == subscriberID) return ret;
    return {};
}

std::optional<Status> configuredStatus(const Config& c) {
    if (!c.subscriptionStatusCode) return std::nullopt;
    return Status{*c.subscriptionStatusCode, c.subscriptionStatusSeverity, c.subscriptionStatusMessage};
}

std::string answerSubscriptionAdd(Company& company, pugi::xml_node request) {
    pugi::xml_node add = request.child("UIExtensionSubscriptionAdd");
    std::string id = textOf(add.child("SubscriberID"));
    if (auto forced = configuredStatus(company.config))
        return responseTag(request, *forced, -1) + closingTag(request);
    pugi::xml_node store = company.subscriptions().child("UIExtensionSubscriptions");
    if (storedSubscription(store, id)) {
        Status dup = {3180, "Error",
                      "A UI extension subscription for subscriber " + id + " already exists."};
        return responseTag(request, dup, -1) + closingTag(request);
    }
    pugi::xml_node ret = store.append_child("UIExtensionSubscriptionRet");
    ret.append_child("SubscriberID").text().set(id.c_str());
    ret.append_child("TimeCreated").text().set(localTimeText().c_str());
    ret.append_copy(add.child("COMCallbackInfo"));
    ret.append_copy(add.child("MenuExtensionSubscription"));
    company.saveSubscriptions();
    return responseTag(request, kOk, -1) + recordText(ret, Config(), {}) + closingTag(request);
}

std::string answerSubscriptionQuery(Company& company, pugi::xml_node request) {
    if (company.config.failRequest == request.name())
        return responseTag(request, kInternalError, -1) + closingTag(request);
    if (auto forced = configuredStatus(company.config))
        return responseTag(request, *forced, -1) + closingTag(request);
    pugi::xml_node store = company.subscriptions().child("UIExtensionSubscriptions");
    pugi::xml_node ret = storedSubscription(store, textOf(request.child("SubscriberID")));
    if (!ret) {
        Status none = {1, "Info", "A query request did not find a matching object in QuickBooks"};
        return responseTag(request, none, -1) + closingTag(request);
    }
    return responseTag(request, kOk, -1) + recordText(ret, Config(), {}) + closingTag(request);
}

std::string answerSubscriptionDel(Company& company, pugi::xml_node request) {
    std::string id = textOf(request.child("SubscriberID"));
    std::string type = textOf(request.child("SubscriptionType"));
    if (auto forced = configuredStatus(company.config))
        return responseTag(request, *forced, -1) + closingTag(request);
    pugi::xml_node store = company.subscriptions().child("UIExtensionSubscriptions");
    pugi::xml_node ret = type == "UIExtension" ? storedSubscription(store, id) : pugi::xml_node();
    if (!ret) {
        Status missing = {3120, "Error",
                          "There is no " + type + " subscription for subscriber " + id + "."};
        return responseTag(request, missing, -1) + closingTag(request);
    }
    store.remove_child(ret);
    company.saveSubscriptions();
    return responseTag(request, kOk, -1) + closingTag(request);
}

std::string document(const char* setName, const std::string& responses) {
    return std::string("<?xml version=\"1.0\" ?>\n<QBXML>\n<") + setName + ">\n" + responses + "</" +
           setName + ">\n</QBXML>\n";
}

}  // namespace

std::string answerDataRequests(Company& company, pugi::xml_node set) {
    // A request told to fail is the only error answer; stopOnError ends the set there.
    bool stop = std::strcmp(set.attribute("onError").value(), "stopOnError") == 0;
    std::string responses;
    for (pugi::xml_node r = set.first_child(); r; r = r.next_sibling()) {
        if (r.type() != pugi::node_element) continue;
        if (std::strcmp(r.name(), "HostQueryRq") == 0) {
            responses += answerHostQuery(company, r);
            if (stop && company.config.failRequest == r.name()) break;
        } else if (std::strcmp(r.name(), "CustomerQueryRq") == 0) {
            responses += answerQuery(company, r, "CustomerRet", "ListID", "FullName");
        } else {
            responses += answerQuery(company, r, "TransactionRet", "TxnID", nullptr);
        }
    }
    return document("QBXMLMsgsRs", responses);
}

std::string answerSubscriptionRequests(Company& company, pugi::xml_node set) {
    std::string responses;
    for (pugi::xml_node r = set.first_child(); r; r = r.next_sibling()) {
        if (r.type() != pugi::node_element) continue;
        if (std::strcmp(r.name(), "UIExtensionSubscriptionAddRq") == 0)
            responses += answerSubscriptionAdd(company, r);
        else if (std::strcmp(r.name(), "UIExtensionSubscriptionQueryRq") == 0)
            responses += answerSubscriptionQuery(company, r);
        else
            responses += answerSubscriptionDel(company, r);
    }
    return document("QBXMLSubscriptionMsgsRs", responses);
}

}  // namespace qbrp
