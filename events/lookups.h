#pragma once
// The customer and transaction lookups: ask QuickBooks for the open record and
// start the matching Dorvex scan or retrieval. Each shows its own failure
// ("Error", exclamation) and returns normally.
#include <string>

namespace marlet {

void scanTransaction(const std::string& txnID);
void retrieveTransaction(const std::string& txnID);
void scanCustomer(const std::string& listID);
void retrieveCustomer(const std::string& listID);

}  // namespace marlet
