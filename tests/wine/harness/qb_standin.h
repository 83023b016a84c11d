#pragma once
// A private copy of the request-processor stand-in (qbxmlrp2.dll) in a sandbox
// folder, registered as "QBXMLRP2.RequestProcessor" while this object lives, with
// its configuration, log and stored subscriptions at hand.
#include <string>
#include <vector>

#include "sandbox.h"
#include "standins/qbxmlrp2/rp_core.h"

namespace harness {

class QuickBooks {
public:
    explicit QuickBooks(const Sandbox& box, const std::wstring& folder = L"QB");
    ~QuickBooks();
    QuickBooks(const QuickBooks&) = delete;
    QuickBooks& operator=(const QuickBooks&) = delete;

    // Writes qbxmlrp2.ini (faults and forced statuses; see the stand-in's README).
    void configure(const std::string& ini) const;
    void writeCompany(const std::string& xml) const;
    std::vector<qbrp::LogEntry> log() const;
    // The members called, in order ("Release" when an object went).
    std::vector<std::string> calls() const;
    std::vector<qbrp::MenuSubscription> menus() const;
    bool registered() const { return registered_; }

private:
    const Sandbox& box_;
    std::wstring folder_;
    bool registered_ = false;
};

}  // namespace harness
