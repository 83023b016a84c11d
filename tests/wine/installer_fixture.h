// What the installer tests share: the registry as the installers leave it,
// the request processor registered as QuickBooks' SDK registers it, what an
// installation of either installer must leave, and a fixture that starts and
// ends each test with no Marlet on the PC.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"
#include "setup_driver.h"

namespace harness {

inline const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Marlet";
inline const wchar_t* const kRequestProcessorClsid = L"{71F531F5-8E67-4A7A-9161-15733FFC3206}";
inline const std::string kUsersIni = "True\r\nD:\\My Dorvex\\\r\nD:\\My Configs\\\r\nTrue\r\nTrue\r\nTrue\r\n";

inline int otherBuild(int bits) { return bits == 64 ? 32 : 64; }
inline REGSAM view(int bits) { return bits == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

// A value under HKEY_LOCAL_MACHINE in the 64- or 32-bit registry view, or "<none>".
inline std::string machineValue(int bits, const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value, flags = RRF_RT_REG_SZ | (bits == 64 ? RRF_SUBKEY_WOW6464KEY : RRF_SUBKEY_WOW6432KEY);
    return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, flags, nullptr, value, &size) ? "<none>" : utf8(value);
}

inline std::string classesValue(int bits, const std::wstring& key) {
    return machineValue(bits, L"Software\\Classes\\" + key);
}

// A value under HKEY_LOCAL_MACHINE\Software\Classes in one registry view.
inline void setClassesValue(int bits, const std::wstring& key, const std::wstring& value) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), 0, nullptr, 0,
                              KEY_WRITE | view(bits), nullptr, &k, nullptr), ERROR_SUCCESS);
    RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

// QBXMLRP2.RequestProcessor laid out as Windows keeps a class: its ProgID in
// the classes both views share (written as a 64-bit program writes it), its
// CLSID key with `server` (InprocServer32, LocalServer32) in each view given.
// The keys the installers read, not a loadable DLL. (Wine keeps the ProgID in
// the 64-bit view only: a lookup through it finds nothing in the 32-bit view.)
inline void registerRequestProcessor(bool in64, bool in32, const wchar_t* server = L"InprocServer32") {
    setClassesValue(64, L"QBXMLRP2.RequestProcessor\\CLSID", kRequestProcessorClsid);
    for (int bits : {64, 32})
        if (bits == 64 ? in64 : in32)
            setClassesValue(bits, std::wstring(L"CLSID\\") + kRequestProcessorClsid + L"\\" + server,
                            L"C:\\Program Files\\Common Files\\Intuit\\QuickBooks\\QBXMLRP2.dll");
}

inline void unregisterRequestProcessors() {
    for (int bits : {64, 32}) {
        HKEY classes;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_ALL_ACCESS | view(bits), &classes) !=
            ERROR_SUCCESS)
            continue;
        RegDeleteTreeW(classes, L"QBXMLRP2.RequestProcessor");
        RegDeleteTreeW(classes, (std::wstring(L"CLSID\\") + kRequestProcessorClsid).c_str());
        RegCloseKey(classes);
    }
}

// The marlet.exe of each build as MarletSetup.exe carries it (signed when the build signs).
inline std::wstring carried(int bits) {
    return binFolder() + (bits == 64 ? L"\\..\\installer\\x64\\marlet.exe" : L"\\..\\installer\\x86\\marlet.exe");
}

inline std::string ansi(const std::wstring& text) {
    char bytes[256] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}

// A silent run ends by itself and shows no box.
inline void expectSilent(const RunResult& r) {
    std::string all;
    for (const Dialog& d : r.dialogs) all += "[" + d.title + ": " + d.text + "]";
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(r.dialogs.empty()) << all;
}

// Creates the listener as QuickBooks does: out of process, by its ProgID.
inline HRESULT createListener() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"Marlet.QBMenuListener", &clsid);
    if (FAILED(hr)) return hr;
    IUnknown* listener = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&listener));
    if (listener) listener->Release();
    for (int i = 0; i < 200 && processesNamed(L"marlet.exe") > 0; i++) Sleep(50);
    return hr;
}

// Marlet's classes, by ProgID and CLSID. A ProgID's key is shared by both
// registry views (Windows 7 and later, and Wine); a CLSID's key is not.
struct MarletClass {
    const wchar_t* progId;
    const wchar_t* clsid;
};
inline const MarletClass kClasses[] = {
    {L"Marlet.QBMenuListener", L"{15B42DA8-7878-4EE2-B4B7-1A9BE5C3D21B}"},
    {L"Marlet.cmOptions", L"{29C16FFB-9829-4231-AA2A-93C2D2896D6F}"},
};

// What either installer puts beside marlet.exe for people to read or copy: the
// two PDFs and the Group Policy template with its strings.
inline const wchar_t* const kShippedDocuments[] = {L"QBManual.pdf", L"AdminGuide.pdf", L"Marlet.admx",
                                                   L"en-US\\Marlet.adml"};
inline void expectDocumentsShipped(const std::wstring& folder) {
    for (const wchar_t* name : kShippedDocuments) {
        const std::string head = readWholeFile(folder + L"\\" + name).substr(0, 5);
        EXPECT_EQ(head, std::wstring(name).ends_with(L".pdf") ? "%PDF-" : "<?xml") << utf8(name);
    }
}

// The build `bits` is installed in its folder and registered in its registry
// view, and nothing of the other build is left anywhere.
inline void expectInstalled(int bits) {
    const std::wstring folder = installFolder(bits);
    const int other = otherBuild(bits);
    EXPECT_EQ(readWholeFile(folder + L"\\marlet.exe"), readWholeFile(carried(bits))) << "not the " << bits << "-bit build";
    EXPECT_EQ(readWholeFile(folder + L"\\uninstall.exe"), readWholeFile(binFolder() + L"\\..\\installer\\uninstall.exe"));
    expectDocumentsShipped(folder);
    EXPECT_FALSE(fileExists(installFolder(other)));

    for (const auto& c : kClasses) {
        EXPECT_EQ(classesValue(64, c.progId + std::wstring(L"\\CLSID")), utf8(c.clsid));
        const std::wstring key = L"CLSID\\" + std::wstring(c.clsid);
        EXPECT_EQ(classesValue(bits, key + L"\\LocalServer32"), "\"" + utf8(folder) + "\\marlet.exe\"");
        EXPECT_EQ(classesValue(other, key), "<none>") << "registered by the " << other << "-bit build";
    }
    EXPECT_EQ(machineValue(bits, kUninstallKey, L"InstallLocation"), utf8(folder));
    EXPECT_EQ(machineValue(bits, kUninstallKey, L"Build"), std::to_string(bits) + "-bit");
    EXPECT_EQ(machineValue(bits, kUninstallKey, L"UninstallString"), "\"" + utf8(folder) + "\\uninstall.exe\"");
    EXPECT_EQ(machineValue(other, kUninstallKey, L"InstallLocation"), "<none>");
}

// No Marlet in either folder or registry view; only dxqb.ini when kept.
inline void expectNothingLeft(int bits, bool settingsKept) {
    const std::wstring folder = installFolder(bits);
    for (const wchar_t* name : {L"marlet.exe", L"uninstall.exe"}) EXPECT_FALSE(fileExists(folder + L"\\" + name)) << utf8(name);
    for (const wchar_t* name : kShippedDocuments) EXPECT_FALSE(fileExists(folder + L"\\" + name)) << utf8(name);
    EXPECT_EQ(fileExists(folder + L"\\dxqb.ini"), settingsKept);
    if (!settingsKept) {
        EXPECT_FALSE(fileExists(folder));
    }
    EXPECT_FALSE(fileExists(installFolder(otherBuild(bits))));
    for (const auto& c : kClasses) {
        EXPECT_EQ(classesValue(64, c.progId), "<none>");
        for (int v : {64, 32}) EXPECT_EQ(classesValue(v, L"CLSID\\" + std::wstring(c.clsid)), "<none>") << v;
    }
    for (int v : {64, 32}) EXPECT_EQ(machineValue(v, kUninstallKey, L"InstallLocation"), "<none>") << v;
}

// The Windows Installer packages, run by this Windows' (64-bit) msiexec as a
// deployment tool runs them: no UI, a log, properties on the command line.
inline std::wstring package(int bits) { return binFolder() + (bits == 64 ? L"\\Marlet-x64.msi" : L"\\Marlet-x86.msi"); }
// The same 64-bit package one version later.
inline std::wstring laterPackage() { return binFolder() + L"\\..\\installer\\msi\\next\\Marlet-x64.msi"; }

// msiexec with `ui` (/qn: none, /qb: basic, where a refusal shows its box) and
// a log; runAnswering also waits for a marlet.exe it started without waiting.
inline RunResult runMsiexec(const std::wstring& ui, const std::wstring& arguments) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return runAnswering(L"\"" + std::wstring(system) + L"\\msiexec.exe\" " + ui + L" " + arguments + L" /l*v \"" +
                        binFolder() + L"\\msiexec.log\"", pressFirstButton, 180000);
}

inline DWORD msiexec(const std::wstring& arguments) {
    RunResult r = runMsiexec(L"/qn", arguments);
    expectSilent(r);
    return r.exitCode;
}

// A refused installation: its exit code and the box that says why.
inline void expectRefused(const std::wstring& arguments, const std::string& why) {
    RunResult r = runMsiexec(L"/qb", arguments);
    EXPECT_EQ(r.exitCode, 1603u);
    std::string shown;
    for (const Dialog& d : r.dialogs) shown += d.text + "\n";
    EXPECT_NE(shown.find(why), std::string::npos) << shown;
}

// Programs and Features entries of a package's Marlet in the registry view of
// `bits`: "version in folder"; their product codes into `codes`.
inline std::vector<std::string> programsEntries(int bits = 64, std::vector<std::wstring>* codes = nullptr) {
    std::vector<std::string> entries;
    HKEY uninstall;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                      KEY_READ | view(bits), &uninstall) != ERROR_SUCCESS)
        return entries;
    wchar_t name[256];
    for (DWORD i = 0, size = 256; RegEnumKeyExW(uninstall, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                                   ERROR_SUCCESS; i++, size = 256) {
        const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + std::wstring(name);
        if (name[0] == L'{' && machineValue(bits, key, L"DisplayName") == "Marlet" &&
            machineValue(bits, key, L"Publisher") == "Marlet") {
            entries.push_back(machineValue(bits, key, L"DisplayVersion") + " in " +
                              machineValue(bits, key, L"InstallLocation"));
            if (codes) codes->push_back(name);
        }
    }
    RegCloseKey(uninstall);
    return entries;
}

inline std::string entry(const char* version, int bits = 64) { return version + std::string(" in ") + utf8(installFolder(bits)) + "\\"; }

// What a package installed and left in place (an interrupted run).
inline void removePackages() {
    for (int bits : {64, 32}) {
        std::vector<std::wstring> codes;
        programsEntries(bits, &codes);
        for (const std::wstring& code : codes) msiexec(L"/x " + code + L" KEEPMENU=1");
    }
}

inline std::wstring logFile() { return _wgetenv(L"LOCALAPPDATA") + std::wstring(L"\\Marlet\\marlet.log"); }

// Removes what a test (or an earlier, interrupted run) left: Marlet, kept
// settings, a request processor's registration. The prefix is the demo's too.
inline void removeEverything() {
    removePackages();
    for (int bits : {64, 32}) {
        if (fileExists(installFolder(bits) + L"\\uninstall.exe")) runUninstaller(L"/KEEPMENU", pressFirstButton, bits);
        DeleteFileW((installFolder(bits) + L"\\dxqb.ini").c_str());
        RemoveDirectoryW(installFolder(bits).c_str());
    }
    unregisterRequestProcessors();
}

struct Installer : ::testing::Test {
    Sandbox box;  // holds the FileTools stand-in, which a listener needs to be created
    Installer() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        removeEverything();
        installFileTools(box);
    }
    ~Installer() override {
        removeEverything();
        uninstallFileTools(box);
        CoUninitialize();
    }
};

}  // namespace harness
