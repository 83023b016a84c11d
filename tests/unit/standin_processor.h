#pragma once
// Serves "QBXMLRP2.RequestProcessor" to the fake platform from the stand-in's
// portable core, in-process: late-bound calls by member name, faults turned into
// Errors the way the Windows automation layer turns them.
#include <memory>

#include "main/main.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "standins/qbxmlrp2/rp_core.h"

namespace marlet::testing {

// The machine's settings file, holding Dorvex in C:\Dx\ and its jobs in C:\Cfg\.
const std::string kIni = "C:\\Marlet\\dxqb.ini";
const std::string kSettingsText = "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n";

// Main run on `commandLine`: its exit code, or the one the process was ended with.
inline int runMain(fake::World& w, const std::string& commandLine, bool startedByCom = false) {
    w.commandLine = commandLine;
    try {
        return Main(startedByCom);
    } catch (const fake::ProcessEnded&) {
        return w.exitCode;
    }
}

class StandInProcessor : public AutoObject {
public:
    explicit StandInProcessor(std::shared_ptr<qbrp::Company> company) : rp_(std::move(company)) {}

    Value call(const std::string& member, const std::vector<Value>& args) override {
        fake::world().log.push_back("rp " + member);
        try {
            if (member == "OpenConnection") {
                arity(args, 2);
                rp_.OpenConnection(text(args[0]), text(args[1]));
            } else if (member == "OpenConnection2") {
                arity(args, 3);
                rp_.OpenConnection2(text(args[0]), text(args[1]), number(args[2]));
            } else if (member == "BeginSession") {
                arity(args, 2);
                return rp_.BeginSession(text(args[0]), number(args[1]));
            } else if (member == "EndSession") {
                arity(args, 1);
                rp_.EndSession(text(args[0]));
            } else if (member == "ProcessRequest") {
                arity(args, 2);
                return rp_.ProcessRequest(text(args[0]), text(args[1]));
            } else if (member == "ProcessSubscription") {
                arity(args, 1);
                return rp_.ProcessSubscription(text(args[0]));
            } else if (member == "GetCurrentCompanyFileName") {
                arity(args, 1);
                return rp_.GetCurrentCompanyFileName(text(args[0]));
            } else if (member == "CloseConnection") {
                arity(args, 0);
                rp_.CloseConnection();
            } else {
                throw Error(-2147352570, "Unknown name.");
            }
        } catch (const qbrp::Fault& f) {
            throw Error(f.hresult, f.description);
        }
        return {};
    }

private:
    static void arity(const std::vector<Value>& args, size_t n) {
        if (args.size() != n) throw Error(-2147352562, "Invalid number of parameters.");
    }
    static std::string text(const Value& v) {
        if (auto s = std::get_if<std::string>(&v)) return *s;
        throw Error(-2147352571, "Type mismatch.");
    }
    static int number(const Value& v) {
        if (auto i = std::get_if<int32_t>(&v)) return *i;
        throw Error(-2147352571, "Type mismatch.");
    }

    qbrp::RequestProcessor rp_;
};

// Registers the stand-in in `w` and returns the company it answers from.
inline std::shared_ptr<qbrp::Company> serveStandIn(fake::World& w) {
    auto company = std::make_shared<qbrp::Company>();
    w.classes["QBXMLRP2.RequestProcessor"] = [company] {
        return std::make_unique<StandInProcessor>(company);
    };
    return company;
}

// An XML document as a one-line outline, blanks between elements left out:
// Name[attr=value](children) or Name=text.
inline std::string outline(pugi::xml_node e) {
    std::string out = e.name();
    for (pugi::xml_attribute a : e.attributes()) out += std::string("[") + a.name() + "=" + a.value() + "]";
    if (!e.find_child([](pugi::xml_node c) { return c.type() == pugi::node_element; }))
        return out + "=" + e.child_value();
    out += "(";
    for (pugi::xml_node c : e.children())
        if (c.type() == pugi::node_element) out += (out.back() == '(' ? "" : " ") + outline(c);
    return out + ")";
}
inline std::string outline(const std::string& xml) {
    pugi::xml_document doc;
    doc.load_string(xml.c_str());
    return outline(doc.document_element());
}

// The member names the stand-in saw, in order ("Release" when an object went).
inline std::vector<std::string> calls(const qbrp::Company& company) {
    std::vector<std::string> out;
    for (const qbrp::LogEntry& e : company.log) out.push_back(e.call);
    return out;
}

}  // namespace marlet::testing
