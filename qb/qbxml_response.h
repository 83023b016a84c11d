#pragma once
// qbXML answers, read with pugixml (default flags: no DOCTYPE, no entities
// beyond the predefined ones, nothing fetched). Values come back exactly as
// QuickBooks wrote them.
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace marlet {

// Numbers of the failures this layer raises itself (the application range of
// automation errors).
enum : int32_t {
    kErrBadAnswer = -2147220991,      // the answer is empty or not qbXML
    kErrNoResponse = -2147220990,     // no response at the asked index
    kErrNoRecord = -2147220989,       // the response returned no record
    kErrMissingElement = -2147220988, // a required element is not in the record
};

// Reads qbXML text (events and answers alike) into `doc`: only the five
// predefined entities and character references are decoded, nothing is fetched,
// and a value made of blanks is kept. A document type is refused (QuickBooks
// sends none), so its entities are never read. For text that is not
// well-formed, `where` tells what is wrong and at which offset.
enum class QbxmlParse { Read, NotWellFormed, DocumentType };
QbxmlParse parseQbxml(pugi::xml_document& doc, const std::string& text, pugi::xml_encoding encoding,
                      std::string& where);

// All character data directly inside an element; a comment or CDATA section in
// the middle of a value does not cut it short. Events and answers read values
// with it.
std::string textOf(pugi::xml_node element);

// One returned record (CustomerRet, TransactionRet, ...).
class Record {
public:
    explicit Record(pugi::xml_node node) : node_(node) {}
    const char* name() const { return node_.name(); }
    // `path` is a child name or a path of names ("EntityRef/FullName").
    bool has(const char* path) const;
    // The element's text; "" when absent.
    std::string value(const char* path) const;
    // The element's text; raises kErrMissingElement when absent.
    std::string required(const char* path) const;
    // The text of every child element named `name`, in order.
    std::vector<std::string> values(const char* name) const;
    // The element at `path`; an empty record (every value "") when absent.
    Record at(const char* path) const { return Record(node_.first_element_by_path(path)); }
    // Every child element named `name`, in order.
    std::vector<Record> records(const char* name) const;

private:
    pugi::xml_node node_;
};

// One response of a response set.
class Response {
public:
    explicit Response(pugi::xml_node node);
    const char* name() const { return node_.name(); }
    int statusCode;
    std::string statusSeverity;
    std::string statusMessage;
    // The returned records.
    int detailCount() const { return static_cast<int>(records_.size()); }
    // Raises kErrNoRecord when there is no record at `index`.
    Record detail(int index) const;

private:
    pugi::xml_node node_;
    std::vector<pugi::xml_node> records_;
};

// A response set: the responses of a QBXMLMsgsRs or QBXMLSubscriptionMsgsRs.
class MsgSetResponse {
public:
    // Raises kErrBadAnswer when `xml` is not a qbXML response document.
    explicit MsgSetResponse(const std::string& xml);
    int count() const { return static_cast<int>(responses_.size()); }
    // Raises kErrNoResponse when there is no response at `index`.
    const Response& at(int index) const;

private:
    std::unique_ptr<pugi::xml_document> doc_;  // on the heap: nodes point into it
    std::vector<Response> responses_;
};

}  // namespace marlet
