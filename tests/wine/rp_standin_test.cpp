// qbxmlrp2.dll as COM sees it: its registration, its members and DISPIDs, and
// a request in the wrong order refused through IDispatch.
#include <gtest/gtest.h>

#include "qb_standin.h"
#include "sandbox.h"

#include <oleauto.h>

using namespace bench;

namespace {

struct Com {
    Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Com() { CoUninitialize(); }
};

std::string registryText(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "<none>";
    return utf8(value);
}

// Calls `member` with text arguments; returns the HRESULT, the text answer or the fault's text.
HRESULT invoke(IDispatch* d, const wchar_t* member, std::vector<std::wstring> args, std::string& out) {
    DISPID id;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    HRESULT hr = d->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> v(args.size());
    for (size_t i = 0; i < args.size(); i++) {
        VARIANT& x = v[args.size() - 1 - i];
        x.vt = VT_BSTR;
        x.bstrVal = SysAllocString(args[i].c_str());
    }
    DISPPARAMS params = {v.data(), nullptr, UINT(v.size()), 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info = {};
    hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &info, nullptr);
    for (VARIANT& x : v) VariantClear(&x);
    if (hr == DISP_E_EXCEPTION) {
        out = utf8(info.bstrDescription ? info.bstrDescription : L"");
        hr = info.scode;
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
    } else if (result.vt == VT_BSTR) {
        out = utf8(result.bstrVal);
    }
    VariantClear(&result);
    return hr;
}

}  // namespace

TEST(RequestProcessorStandIn, RegisteredUnderTheSdkNamesAndNumbers) {
    Sandbox box;
    QuickBooks qb(box);
    ASSERT_TRUE(qb.registered());
    const wchar_t* clsid1 = L"{45F5708E-3B43-4FA8-BE7E-A5F1849214CB}";
    const wchar_t* clsid2 = L"{71F531F5-8E67-4A7A-9161-15733FFC3206}";
    EXPECT_EQ(registryText(L"QBXMLRP2.RequestProcessor.1\\CLSID"), utf8(clsid1));
    EXPECT_EQ(registryText(L"QBXMLRP2.RequestProcessor.2\\CLSID"), utf8(clsid2));
    EXPECT_EQ(registryText(L"QBXMLRP2.RequestProcessor\\CLSID"), utf8(clsid2));
    for (const wchar_t* clsid : {clsid1, clsid2}) {
        std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
        EXPECT_EQ(registryText(key), box.pathUtf8(L"QB\\qbxmlrp2.dll"));
        EXPECT_EQ(registryText(key, L"ThreadingModel"), "Apartment");
    }

    Com com;
    for (const wchar_t* progID :
         {L"QBXMLRP2.RequestProcessor", L"QBXMLRP2.RequestProcessor.1", L"QBXMLRP2.RequestProcessor.2"}) {
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(progID, &clsid), S_OK);
        IDispatch* d = nullptr;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&d)),
                  S_OK);
        const std::pair<const wchar_t*, DISPID> members[] = {
            {L"ProcessRequest", 1}, {L"OpenConnection", 2}, {L"CloseConnection", 3},
            {L"BeginSession", 4},   {L"EndSession", 5},     {L"ProcessSubscription", 13},
            {L"OpenConnection2", 15}, {L"openconnection", 2}};
        for (const auto& [name, expected] : members) {
            DISPID id = 0;
            LPOLESTR n = const_cast<LPOLESTR>(name);
            EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id), S_OK);
            EXPECT_EQ(id, expected);
        }
        DISPID id;
        LPOLESTR unknown = const_cast<LPOLESTR>(L"GetCurrentCompanyFileName");
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
        d->Release();
    }
    EXPECT_EQ(qb.calls(), (std::vector<std::string>{"Release", "Release", "Release"}));
}

TEST(RequestProcessorStandIn, AWrongOrderRequestIsRefused) {
    Sandbox box;
    QuickBooks qb(box);
    Com com;
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"QBXMLRP2.RequestProcessor", &clsid), S_OK);
    IDispatch* d = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d)),
              S_OK);
    std::string out;
    EXPECT_EQ(invoke(d, L"OpenConnection", {L"", L"Order test"}, out), S_OK);
    const std::wstring wrongOrder =
        L"<?xml version=\"1.0\" ?><?qbxml version=\"4.0\"?><QBXML><QBXMLSubscriptionMsgsRq>"
        L"<SubscriptionDelRq><SubscriptionType>UIExtension</SubscriptionType>"
        L"<SubscriberID>{7D3B51A8-4C02-49e1-B6A5-E2F0C8D47139}</SubscriberID></SubscriptionDelRq>"
        L"</QBXMLSubscriptionMsgsRq></QBXML>";
    EXPECT_EQ(invoke(d, L"ProcessSubscription", {wrongOrder}, out), HRESULT(0x80040400));
    EXPECT_NE(out.find("<SubscriptionType> is unknown or out of order"), std::string::npos) << out;
    // Wrong argument counts are the caller's mistake, told as automation tells them.
    EXPECT_EQ(invoke(d, L"ProcessSubscription", {}, out), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(d, L"CloseConnection", {}, out), S_OK);
    d->Release();

    std::vector<qbrp::LogEntry> log = qb.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1].request, utf8(wrongOrder));
    EXPECT_TRUE(log[1].failed);
    EXPECT_EQ(log[1].hresult, int32_t(0x80040400));
}
