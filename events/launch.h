#pragma once
#include <string>

namespace marlet {

// Dorvex's program, in the folder Options names (dxPath), and its three
// configurations, in the configuration folder (configPath).
constexpr const char* kDorvexExe = "Dorvex.exe";
constexpr const char* kScanConfig = "qbscan.dxc";
constexpr const char* kScanNoTxnConfig = "qbscan_no_txn.dxc";
constexpr const char* kRetrieveConfig = "qbretrieve.dxc";
inline constexpr const char* kDorvexConfigs[] = {kScanConfig, kScanNoTxnConfig, kRetrieveConfig};

// The program Dorvex's command lines start: dxPath + kDorvexExe, from gOptions.
std::string dorvexExePath();

// The Dorvex command lines, composed from gOptions as it is now.
std::string scanCommandLine(const std::string& entityName, const std::string& txnType,
                            const std::string& refNumber, const std::string& memo);
std::string retrieveCommandLine(const std::string& entityName, const std::string& txnType,
                                const std::string& refNumber, const std::string& memo);

// Compose and start Dorvex. No handler of their own: failures reach the caller.
void launchScan(const std::string& entityName, const std::string& txnType,
                const std::string& refNumber, const std::string& memo);
void launchRetrieve(const std::string& entityName, const std::string& txnType,
                    const std::string& refNumber, const std::string& memo);

}  // namespace marlet
