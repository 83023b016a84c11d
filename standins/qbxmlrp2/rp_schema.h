#pragma once
// The rules a request document must follow before the stand-in answers it: the
// qbXML prologue and version, the message set, and for each request the
// elements, their order, how often they occur and the form of their values, as
// qbXML 4.0 lays them down for the messages the stand-in knows.
#include <stdexcept>
#include <string>

#include <pugixml.hpp>

namespace qbrp {

// What is wrong with a request document.
struct Invalid : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class MsgSetKind { Data, Subscription };

// Checks the whole document, parsed with pugi::parse_pi so that the
// <?qbxml version?> instruction is kept. Returns the message set element and
// the version as tenths (4.0 -> 40). Throws Invalid.
pugi::xml_node checkRequestDocument(const pugi::xml_document& doc, MsgSetKind kind, int& version);

// The qbXML versions this stand-in takes, as tenths.
bool supportedVersion(const std::string& text, int& version);

}  // namespace qbrp
