// Hostile and very large inputs at marlet.exe's Windows doors: event text that
// is not UTF-16 and event documents of 16 MB handed to inform through COM, and
// a command line of 32,000 characters. No crash, memory that stays a small
// multiple of the input, and the behaviour of ordinary input.
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"
#include "standins/qbhost/qb_event_callback.h"

using namespace bench;

namespace {

const size_t kSixteenMB = 16 * 1024 * 1024;

std::wstring eventWith(const std::wstring& tag, const std::wstring& inside = L"") {
    return L"<?xml version=\"1.0\"?><?qbxml version=\"4.0\"?><QBXML><QBXMLEvents><UIExtensionEvent>"
           L"<SubscriberID>{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}</SubscriberID>" +
           inside + L"<EventTag>" + tag + L"</EventTag></UIExtensionEvent></QBXMLEvents></QBXML>";
}

DWORD marletPid(const Sandbox& box) {
    DWORD pid = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(snap, &pe); ok && !pid; ok = Process32NextW(snap, &pe)) {
        if (_wcsicmp(pe.szExeFile, L"marlet.exe") != 0) continue;
        HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pe.th32ProcessID);
        wchar_t image[MAX_PATH];
        DWORD size = MAX_PATH;
        if (p && QueryFullProcessImageNameW(p, 0, image, &size) && _wcsicmp(image, box.path(L"marlet.exe").c_str()) == 0)
            pid = pe.th32ProcessID;
        if (p) CloseHandle(p);
    }
    CloseHandle(snap);
    return pid;
}

// The most memory the process has held: its peak working set and its peak of
// private (committed) bytes, whichever is larger. 0 when it cannot be read.
size_t peakMemory(DWORD pid) {
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!p) return 0;
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof c;
    size_t peak = GetProcessMemoryInfo(p, &c, sizeof c) ? std::max(c.PeakWorkingSetSize, c.PeakPagefileUsage) : 0;
    CloseHandle(p);
    return peak;
}

struct Informed {
    std::vector<HRESULT> results;
    std::vector<Dialog> dialogs;
    size_t peakBefore = 0, peakAfter = 0;  // of the server, around the calls
};

// Creates one listener in the sandbox's marlet.exe and hands it each text as
// the BSTR given (null and odd byte lengths included), on a thread of its own
// while this one answers the dialogs a person would.
Informed informEach(const Sandbox& box, const std::vector<BSTR>& events) {
    Informed out;
    std::atomic<bool> done{false};
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CLSID clsid;
        IQBEventCallback* listener = nullptr;
        if (SUCCEEDED(CLSIDFromProgID(L"Marlet.QBMenuListener", &clsid)) &&
            SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IQBEventCallback,
                                       reinterpret_cast<void**>(&listener)))) {
            DWORD pid = marletPid(box);
            out.peakBefore = peakMemory(pid);
            for (BSTR e : events) out.results.push_back(listener->inform(e));
            out.peakAfter = peakMemory(pid);
            listener->Release();
        }
        CoUninitialize();
        done = true;
    });
    for (int waited = 0; !done && waited < 120000; waited += 50) {
        for (HWND w : findDialogs(0)) {
            Sleep(50);
            Dialog d = readDialog(w);
            out.dialogs.push_back(d);
            pressFirstButton(d);
        }
        Sleep(50);
    }
    caller.join();
    for (BSTR e : events) SysFreeString(e);
    return out;
}

BSTR bstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

struct Hostile : ::testing::Test {
    Sandbox box;
    QuickBooks qb{box};
    Hostile() {
        box.installDorvex();
        box.writeIni(box.iniFor(L"Dx"));
        installFileTools(box);
        runHost(box, L"--install");  // the event library, so COM marshals IQBEventCallback
        registerMarlet(box);
    }
    ~Hostile() override {
        unregisterMarlet(box);
        uninstallFileTools(box);
        EXPECT_TRUE(waitForMarletExit(box));
        EXPECT_EQ(box.readIni(), box.iniFor(L"Dx"));
    }
    std::string bareRetrieval() const {
        return box.pathUtf8(L"Dx") + "\\Dorvex.exe /c:\"" + box.pathUtf8(L"Cfg") + "\\qbretrieve.dxc\"";
    }
    // Dorvex is not waited for: wait for `count` starts, then a little for any more.
    std::vector<std::string> launched(size_t count) const {
        std::vector<std::string> lines;
        for (const Launch& l : waitForLaunches(box, count)) lines.push_back(l.commandLine);
        Sleep(300);
        if (box.launches().size() != lines.size()) lines.push_back("<more launches>");
        return lines;
    }
};

}  // namespace

TEST_F(Hostile, EventTextThatIsNotUtf16) {
    const std::wstring retrieve = eventWith(L"retrieve");
    Informed r = informEach(box, {
        bstr(eventWith(std::wstring(L"retrieve") + L'\xD800')),  // a tag ending in a lone high surrogate
        bstr(eventWith(std::wstring(L"retri") + L'\xDC00' + L"eve")),  // a lone low surrogate inside it
        bstr(eventWith(L"scan", std::wstring(L"<CurrentWindow><TxnType>Invoice</TxnType><TxnID>1A-") +
                                    L'\xDBFF' + L"</TxnID></CurrentWindow>")),
        bstr(std::wstring(L"<QBXML><QBXMLEvents><UIExtensionEvent><EventTag>retrieve</EventTag></") + L'\xD800'),
        nullptr,                                                     // a null BSTR: no text at all
        SysAllocStringByteLen(reinterpret_cast<const char*>(retrieve.data()), retrieve.size() * 2 + 1),
        bstr(retrieve),  // and the server still serves an ordinary event
    });
    // Unpaired surrogates arrive as U+FFFD: a tag holding one is not ours, an
    // identifier holding one is asked for as it stands and is not found.
    EXPECT_EQ(r.results, (std::vector<HRESULT>{S_OK, S_OK, S_OK, E_INVALIDARG, E_INVALIDARG, S_OK, S_OK}));
    ASSERT_EQ(r.dialogs.size(), 1u);
    EXPECT_EQ(r.dialogs[0].title, "Error");
    EXPECT_EQ(r.dialogs[0].icon, Icon::Exclamation);
    EXPECT_NE(r.dialogs[0].text.find("(\"1A-\xEF\xBF\xBD\")"), std::string::npos) << r.dialogs[0].text;
    EXPECT_EQ(launched(2), (std::vector<std::string>{bareRetrieval(), bareRetrieval()}));
}

TEST_F(Hostile, EventDocumentsOf16Megabytes) {
    std::wstring padding;
    padding.reserve(kSixteenMB);
    while (padding.size() < kSixteenMB) padding += L"<HostInfo><Country>US</Country></HostInfo>";
    std::wstring id(kSixteenMB, L'A');
    Informed r = informEach(box, {
        bstr(eventWith(L"retrieve", padding)),  // 16 MB hiding no window: the bare retrieval
        bstr(eventWith(L"retrieve", padding).substr(0, kSixteenMB)),  // cut off
        bstr(eventWith(L"retrieve", L"<CurrentWindow><ListType>Vendor</ListType><ListID>" + id +
                                        L"</ListID></CurrentWindow>")),
        bstr(eventWith(L"retrieve")),
    });
    EXPECT_EQ(r.results, (std::vector<HRESULT>{S_OK, E_INVALIDARG, S_OK, S_OK}));
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_EQ(launched(3), std::vector<std::string>(3, bareRetrieval()));
    // 32 MB arrive as the BSTR; what the server holds beyond that stays a small multiple.
    ASSERT_GT(r.peakBefore, 0u) << "the server's memory cannot be read";
    EXPECT_LT(r.peakAfter - r.peakBefore, 16 * kSixteenMB)
        << "peak " << r.peakBefore / 1024 << " KB before, " << r.peakAfter / 1024 << " KB after";
}

// The longest command line Windows passes on. Every separator kind, repeated:
// only the first ten arguments count, and the retrievals among them run.
TEST(HostileCommandLine, ThirtyTwoThousandCharacters) {
    std::wstring line;
    while (line.size() < 32000) line += L" /retrieve\t/x -y \\z";
    line.resize(32000);
    size_t peaks[2] = {};
    const std::wstring lines[2] = {L"/retrieve", line};
    for (int i = 0; i < 2; i++) {
        Sandbox box;
        box.installDorvex();
        box.writeIni(box.iniFor(L"Dx", true));
        RunResult r = box.runMarlet(lines[i], [&](const Dialog& d) {
            if (!peaks[i]) peaks[i] = peakMemory(d.pid);
            pressFirstButton(d);
        });
        EXPECT_EQ(r.exitCode, 0u);
        ASSERT_EQ(r.dialogs.size(), i == 0 ? 1u : 3u);
        const std::string bare = box.pathUtf8(L"Dx") + "\\Dorvex.exe /c:\"" + box.pathUtf8(L"Cfg") + "\\qbretrieve.dxc\"";
        for (const Dialog& d : r.dialogs)
            EXPECT_EQ(d.text, "The command line below has been place on the clipboard and will be executed when you "
                              "click 'OK': \r\n\r\n" + bare);
        EXPECT_EQ(waitForLaunches(box, r.dialogs.size()).size(), r.dialogs.size());
        EXPECT_EQ(box.readIni(), box.iniFor(L"Dx", true));
    }
    // What the long line costs the process, at its first box, against a short one.
    ASSERT_GT(peaks[0], 0u) << "the program's memory cannot be read";
    EXPECT_LT(peaks[1], peaks[0] + 4 * 1024 * 1024) << peaks[0] / 1024 << " KB, " << peaks[1] / 1024 << " KB";
}
