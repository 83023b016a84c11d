#pragma once
// What Marlet relies on of Dorvex's installation: its program, in the folder
// Options names (dxPath), its three configurations, in the configuration folder
// (configPath), and the file tools it installs, which open Marlet's manual
// beside marlet.exe. The menu entries' work and the set-up check both read them here.
#include <string>

#include "settings/options.h"

namespace marlet {

constexpr const char* kDorvexExe = "Dorvex.exe";
constexpr const char* kScanConfig = "qbscan.dxc";
constexpr const char* kScanNoTxnConfig = "qbscan_no_txn.dxc";
constexpr const char* kRetrieveConfig = "qbretrieve.dxc";
inline constexpr const char* kDorvexConfigs[] = {kScanConfig, kScanNoTxnConfig, kRetrieveConfig};

// The program Dorvex's command lines start: the options' dxPath + kDorvexExe.
std::string dorvexExePath(const cmOptions& options);

constexpr const char* kFileToolsProgID = "Kelvorn.FileTools";
constexpr const char* kManualFile = "QBManual.pdf";
std::string manualPath();

}  // namespace marlet
