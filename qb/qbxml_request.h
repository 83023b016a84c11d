#pragma once
// qbXML request documents, written as text. Elements come out in the order they
// were added: QuickBooks checks element order, so callers add them in the order
// of the qbXML reference.
#include <list>
#include <string>
#include <utility>
#include <vector>

namespace marlet {

class RequestElement {
public:
    explicit RequestElement(std::string name, std::string text = "")
        : name(std::move(name)), text(std::move(text)) {}

    // Adds a child element; references to earlier children stay valid.
    RequestElement& append(const std::string& childName, const std::string& childText = "");
    void setAttribute(const std::string& attrName, const std::string& value);

    std::string name;
    std::string text;  // leaf elements only
    std::vector<std::pair<std::string, std::string>> attributes;
    std::list<RequestElement> children;
};

// The qbXML version of every request Marlet makes: the one Add Menu's
// subscriptions are made in (QuickBooks returns only the subscriptions of the
// query's version), taken by QuickBooks 2005 and later.
constexpr int kQbxmlMajorVersion = 4;
constexpr int kQbxmlMinorVersion = 0;
constexpr const char* kQbxmlVersionText = "4.0";

// The on-error attribute of a data message set.
enum : int { kStopOnError = 0, kContinueOnError = 1, kRollbackOnError = 2 };

// A data message set: <QBXMLMsgsRq onError="..."> holding the requests.
class MsgSetRequest {
public:
    MsgSetRequest(std::string country, int majorVersion, int minorVersion)
        : country(std::move(country)), majorVersion(majorVersion), minorVersion(minorVersion) {}

    // Appends one request (e.g. "CustomerQueryRq") and returns it for filling.
    RequestElement& append(const std::string& requestName);
    std::string toXml() const;

    std::string country;
    int majorVersion;
    int minorVersion;
    int onError = kStopOnError;
    std::list<RequestElement> requests;
};

// A subscription message set: <QBXMLSubscriptionMsgsRq>, no attributes.
class SubscriptionMsgSetRequest {
public:
    SubscriptionMsgSetRequest(int majorVersion, int minorVersion)
        : majorVersion(majorVersion), minorVersion(minorVersion) {}

    RequestElement& append(const std::string& requestName);
    std::string toXml() const;

    int majorVersion;
    int minorVersion;
    std::list<RequestElement> requests;
};

// Text as XML character data or attribute value: & < > " ' and CR escaped.
void appendXmlEscaped(std::string& out, const std::string& text);

}  // namespace marlet
