#include "qb_standin.h"

namespace harness {

QuickBooks::QuickBooks(const Sandbox& box, const std::wstring& folder) : box_(box), folder_(folder) {
    box.copyProgram(L"qbxmlrp2.dll", folder + L"\\qbxmlrp2.dll");
    registered_ = callDllExport(box.path(folder + L"\\qbxmlrp2.dll"), "DllRegisterServer");
}

QuickBooks::~QuickBooks() {
    if (registered_) callDllExport(box_.path(folder_ + L"\\qbxmlrp2.dll"), "DllUnregisterServer");
}

void QuickBooks::configure(const std::string& ini) const {
    box_.writeFile(folder_ + L"\\" + wide(qbrp::kConfigFileName), ini);
}

void QuickBooks::writeCompany(const std::string& xml) const {
    box_.writeFile(folder_ + L"\\" + wide(qbrp::kCompanyFileName), xml);
}

std::vector<qbrp::LogEntry> QuickBooks::log() const {
    std::wstring file = folder_ + L"\\" + wide(qbrp::kLogFileName);
    return box_.exists(file) ? qbrp::parseLog(box_.readFile(file)) : std::vector<qbrp::LogEntry>{};
}

std::vector<std::string> QuickBooks::calls() const {
    std::vector<std::string> out;
    for (const qbrp::LogEntry& e : log()) out.push_back(e.call);
    return out;
}

std::vector<qbrp::MenuSubscription> QuickBooks::menus() const {
    return qbrp::loadMenuSubscriptions(box_.path(folder_));
}

}  // namespace harness
