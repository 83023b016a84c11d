#pragma once
// What the host stand-in's command-line driver and its window share.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "standins/qbxmlrp2/rp_core.h"

namespace qbhost {

std::string utf8(const std::wstring& w);
std::wstring wide(const std::string& s);

// The UI-extension subscriptions the registered request-processor stand-in stores.
std::vector<qbrp::MenuSubscription> storedSubscriptions();

// Result lines: to stdout, to a file when asked, and the last one kept.
struct Output {
    FILE* file = nullptr;
    std::string last;
    void line(const std::string& text);
};

// Delivers event tokens ("scan@txn:Invoice:1A-1", "xml=FILE", "new", "use=N")
// to new listeners of one class, one result line per call.
struct Delivery {
    CLSID clsid;
    std::string subscriber;
    const qbrp::MenuSubscription* subscription;
    bool dispatch;
    Output& out;
    bool quiet = false;

    // 0 when every call succeeded, 1 when one failed, 2 when one could not be made.
    int deliver(const std::vector<std::wstring>& events);
    void report(const std::string& line);
    bool eventText(const std::wstring& token, std::string& xml);
};

// A small QuickBooks-like window: a File menu built from the stored
// subscriptions and a list of the company's customers and transactions to
// pick the open window from. `progId`, when given, replaces the subscriptions'.
int runWindow(const std::wstring& progId, bool dispatch, Output& out);

}  // namespace qbhost
