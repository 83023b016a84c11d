#include "qb/qbxml_request.h"

namespace marlet {

RequestElement& RequestElement::append(const std::string& childName, const std::string& childText) {
    children.emplace_back(childName, childText);
    return children.back();
}

void RequestElement::setAttribute(const std::string& attrName, const std::string& value) {
    attributes.emplace_back(attrName, value);
}

void appendXmlEscaped(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        // A raw CR would be folded into the line end by the reader.
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
}

static void write(std::string& out, const RequestElement& e, int depth) {
    out.append(depth * 2, ' ');
    out += '<';
    out += e.name;
    for (const auto& [name, value] : e.attributes) {
        out += ' ';
        out += name;
        out += "=\"";
        appendXmlEscaped(out, value);
        out += '"';
    }
    out += '>';
    if (e.children.empty()) {
        appendXmlEscaped(out, e.text);
    } else {
        out += '\n';
        for (const RequestElement& child : e.children) write(out, child, depth + 1);
        out.append(depth * 2, ' ');
    }
    out += "</";
    out += e.name;
    out += ">\n";
}

// The whole document: prologue, <QBXML>, the message set holding the requests.
static std::string document(const std::string& versionPrefix, int major, int minor,
                            const std::string& msgsOpenTag, const char* msgsName,
                            const std::list<RequestElement>& requests) {
    std::string out = "<?xml version=\"1.0\" ?>\n<?qbxml version=\"";
    out += versionPrefix + std::to_string(major) + "." + std::to_string(minor);
    out += "\"?>\n<QBXML>\n  ";
    out += msgsOpenTag;
    out += '\n';
    for (const RequestElement& request : requests) write(out, request, 2);
    out += "  </";
    out += msgsName;
    out += ">\n</QBXML>\n";
    return out;
}

RequestElement& MsgSetRequest::append(const std::string& requestName) {
    requests.emplace_back(requestName);
    return requests.back();
}

static const char* onErrorText(int onError) {
    switch (onError) {
    case kContinueOnError: return "continueOnError";
    case kRollbackOnError: return "rollbackOnError";
    default: return "stopOnError";
    }
}

std::string MsgSetRequest::toXml() const {
    // US is qbXML's own country; the others name theirs before the number.
    return document(country == "US" ? "" : country, majorVersion, minorVersion,
                    std::string("<QBXMLMsgsRq onError=\"") + onErrorText(onError) + "\">",
                    "QBXMLMsgsRq", requests);
}

RequestElement& SubscriptionMsgSetRequest::append(const std::string& requestName) {
    requests.emplace_back(requestName);
    return requests.back();
}

std::string SubscriptionMsgSetRequest::toXml() const {
    return document("", majorVersion, minorVersion, "<QBXMLSubscriptionMsgsRq>",
                    "QBXMLSubscriptionMsgsRq", requests);
}

}  // namespace marlet
