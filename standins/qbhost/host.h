#pragma once
// What the host stand-in's command-line driver and its window share.
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "standins/qbxmlrp2/rp_core.h"

namespace qbhost {

std::string utf8(const std::wstring& w);
std::wstring wide(const std::string& s);

// The UI-extension subscriptions the registered request-processor stand-in stores.
std::vector<qbrp::MenuSubscription> storedSubscriptions();

// Result lines: to stdout, to a file when asked, and the last one kept. Lines
// come from the window's thread and from the person picking.
struct Output {
    FILE* file = nullptr;
    std::string last;
    std::mutex lock;
    void line(const std::string& text);
};

// Delivers event tokens ("scan@txn:Invoice:1A-1", "xml=FILE", "new", "use=N")
// to new listeners of one class, one result line per call: the token, the
// HRESULT, the error's description and how long the call took in milliseconds.
struct Delivery {
    CLSID clsid;
    std::string subscriber;
    const qbrp::MenuSubscription* subscription;
    bool dispatch;
    Output& out;
    bool quiet = false;
    std::vector<IUnknown*> listeners = {};
    size_t current = 0;
    // 0 when every call succeeded, 1 when one failed or a pick was ignored, 2
    // when one could not be made.
    int exitCode = 0;

    // One token; the first creates the listener.
    void deliverOne(const std::wstring& token);
    // Releases the listeners; the exit code.
    int finish();
    int deliver(const std::vector<std::wstring>& events);
    void report(const std::string& line);
    bool eventText(const std::wstring& token, std::string& xml);
};

// A small QuickBooks-like window: a File menu built from the stored
// subscriptions and a list of the company's customers and transactions to
// pick the open window from. `progId`, when given, replaces the subscriptions'.
int runWindow(const std::wstring& progId, bool dispatch, Output& out);

// The events as a person's picks in QuickBooks' menu, each delivered from the
// window's thread. A pick comes once the call before it has returned, or, after
// an "after=MS" token, MS milliseconds after the pick before it, returned or
// not. As QuickBooks does, a pick made while a call is in progress is ignored:
// its line says so.
int runPicks(Delivery& delivery, const std::vector<std::wstring>& events);

}  // namespace qbhost
