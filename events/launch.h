#pragma once
#include <string>

#include "settings/options.h"

namespace marlet {

// Dorvex's program, in the folder Options names (dxPath), and its three
// configurations, in the configuration folder (configPath).
constexpr const char* kDorvexExe = "Dorvex.exe";
constexpr const char* kScanConfig = "qbscan.dxc";
constexpr const char* kScanNoTxnConfig = "qbscan_no_txn.dxc";
constexpr const char* kRetrieveConfig = "qbretrieve.dxc";
inline constexpr const char* kDorvexConfigs[] = {kScanConfig, kScanNoTxnConfig, kRetrieveConfig};

// What one Dorvex run is about: the record's name, the transaction's type and
// number, and its memo. A bare retrieval has none of them.
struct DorvexJob {
    std::string entityName;
    std::string txnType;
    std::string refNumber;
    std::string memo;
};

// The program Dorvex's command lines start: the options' dxPath + kDorvexExe.
std::string dorvexExePath(const cmOptions& options);

// The Dorvex command lines for a job, composed from the options given.
std::string scanCommandLine(const cmOptions& options, const DorvexJob& job);
std::string retrieveCommandLine(const cmOptions& options, const DorvexJob& job);

// Compose and start Dorvex. No handler of their own: failures reach the caller.
void launchScan(const cmOptions& options, const DorvexJob& job);
void launchRetrieve(const cmOptions& options, const DorvexJob& job);

}  // namespace marlet
