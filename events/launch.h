#pragma once
#include <string>

#include "app/dorvex.h"
#include "settings/options.h"

namespace marlet {

// What one Dorvex run is about: the record's name, the transaction's type and
// number, and its memo. A bare retrieval has none of them.
struct DorvexJob {
    std::string entityName;
    std::string txnType;
    std::string refNumber;
    std::string memo;
};

// The Dorvex command lines for a job, composed from the options given.
std::string scanCommandLine(const cmOptions& options, const DorvexJob& job);
std::string retrieveCommandLine(const cmOptions& options, const DorvexJob& job);

// Compose and start Dorvex. No handler of their own: failures reach the caller.
void launchScan(const cmOptions& options, const DorvexJob& job);
void launchRetrieve(const cmOptions& options, const DorvexJob& job);

}  // namespace marlet
