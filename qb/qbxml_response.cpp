#include "qb/qbxml_response.h"

#include <charconv>
#include <cstring>

#include "platform/error.h"

namespace marlet {

QbxmlParse parseQbxml(pugi::xml_document& doc, const std::string& text, pugi::xml_encoding encoding,
                      std::string& where) {
    // A document type is kept as a node, so that it can be refused.
    pugi::xml_parse_result parsed = doc.load_buffer(
        text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_doctype, encoding);
    if (!parsed) {
        where = std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset);
        return QbxmlParse::NotWellFormed;
    }
    if (doc.find_child([](pugi::xml_node n) { return n.type() == pugi::node_doctype; }))
        return QbxmlParse::DocumentType;
    return QbxmlParse::Read;
}

std::string textOf(pugi::xml_node element) {
    std::string text;
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
    return text;
}

bool Record::has(const char* path) const { return node_.first_element_by_path(path); }

std::string Record::value(const char* path) const {
    return textOf(node_.first_element_by_path(path));
}

std::vector<std::string> Record::values(const char* name) const {
    std::vector<std::string> out;
    for (pugi::xml_node c : node_.children(name)) out.push_back(textOf(c));
    return out;
}

std::vector<Record> Record::records(const char* name) const {
    std::vector<Record> out;
    for (pugi::xml_node c : node_.children(name)) out.emplace_back(c);
    return out;
}

std::string Record::required(const char* path) const {
    pugi::xml_node e = node_.first_element_by_path(path);
    if (!e)
        throw Error(kErrMissingElement, std::string("The ") + node_.name() +
                                            " that QuickBooks returned has no " + path + ".");
    return textOf(e);
}

static bool parseInt(const char* text, int& value) {
    const char* end = text + std::strlen(text);
    auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && ptr != text;
}

Response::Response(pugi::xml_node node) : node_(node) {
    if (!parseInt(node.attribute("statusCode").value(), statusCode))
        throw Error(kErrBadAnswer, std::string("QuickBooks answered ") + node.name() +
                                       " without a valid status code.");
    statusSeverity = node.attribute("statusSeverity").value();
    statusMessage = node.attribute("statusMessage").value();
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element) records_.push_back(c);
}

Record Response::detail(int index) const {
    if (index < 0 || index >= detailCount()) {
        std::string text = "QuickBooks returned no record.";
        if (!statusMessage.empty()) text += " " + statusMessage;
        throw Error(kErrNoRecord, text);
    }
    return Record(records_[index]);
}

MsgSetResponse::MsgSetResponse(const std::string& xml) : doc_(new pugi::xml_document) {
    if (xml.empty()) throw Error(kErrBadAnswer, "QuickBooks returned an empty answer.");
    std::string where;
    switch (parseQbxml(*doc_, xml, pugi::encoding_auto, where)) {
    case QbxmlParse::NotWellFormed:
        throw Error(kErrBadAnswer, "QuickBooks returned an answer that is not well-formed XML (" + where + ").");
    case QbxmlParse::DocumentType:
        throw Error(kErrBadAnswer, "QuickBooks returned an answer that declares a document type.");
    case QbxmlParse::Read:
        break;
    }
    pugi::xml_node set = doc_->child("QBXML").child("QBXMLMsgsRs");
    if (!set) set = doc_->child("QBXML").child("QBXMLSubscriptionMsgsRs");
    if (!set) throw Error(kErrBadAnswer, "QuickBooks returned an answer without a response set.");
    for (pugi::xml_node c = set.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element) responses_.emplace_back(c);
}

const Response& MsgSetResponse::at(int index) const {
    if (index < 0 || index >= count())
        throw Error(kErrNoResponse, "QuickBooks returned no response to the request.");
    return responses_[index];
}

}  // namespace marlet
