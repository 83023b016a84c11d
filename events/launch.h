#pragma once
#include <string>

namespace marlet {

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
