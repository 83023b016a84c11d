#pragma once
// The customer and transaction lookups: ask QuickBooks for the open record and
// start the matching Dorvex scan or retrieval. Each shows its own failure
// ("Error", exclamation) and returns normally.
//
// `pickedIn` is the company file the record was picked in (the event's
// CompanyFilePath). The record's identifier means that record in that file
// only, so a session on another file (the person opened another while the pick
// waited) starts nothing and says so. Where the file cannot be confirmed (no
// name in the event, or a request processor that cannot say which file its
// session is on) the lookup goes on, and the log says so.
//
// `options` are the settings Dorvex is started with (and, for a customer's
// scan, whether to ask for a memo).
#include <string>

#include "settings/options.h"

namespace marlet {

void scanTransaction(const cmOptions& options, const std::string& txnID, const std::string& pickedIn);
void retrieveTransaction(const cmOptions& options, const std::string& txnID, const std::string& pickedIn);
void scanCustomer(const cmOptions& options, const std::string& listID, const std::string& pickedIn);
void retrieveCustomer(const cmOptions& options, const std::string& listID, const std::string& pickedIn);

}  // namespace marlet
