#include "OutlookSession.h"

#include "../common/Messages.h"
#include "ConversionRun.h"
#include "ProgressView.h"
#include "RunFailure.h"

#include <ole2.h>

#include <vector>

const wchar_t kStoreRootName[] = L"Tidewell Conversion Folder";

namespace {

using namespace outlookid;

bool containsNoCase(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle) {
    if (needle.empty() || needle.size() > haystack.size())
        return false;
    auto lower = [](uint8_t c) { return static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && lower(haystack[i + k]) == lower(needle[k]))
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

std::vector<uint8_t> bytesOfHex(const std::wstring& hex) {
    std::vector<uint8_t> out;
    auto digit = [](wchar_t c) {
        return c >= L'0' && c <= L'9' ? c - L'0' : c >= L'A' && c <= L'F' ? c - L'A' + 10 : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
    };
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return {};
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

// The root folder of the store whose id carries the PST's path (as UTF-16
// or in the ANSI code page: a PST store's entry id names its file). When
// the PST was already part of the profile, the store added last is
// another one; this finds the right one all the same.
tw::ComPtr<IDispatch> rootOfStore(IDispatch* topFolders, const std::wstring& pstPath) {
    wchar_t full[MAX_PATH * 4] = L"";
    const DWORD n = GetFullPathNameW(pstPath.c_str(), MAX_PATH * 4, full, nullptr);
    const std::wstring path = n && n < MAX_PATH * 4 ? std::wstring(full, n) : pstPath;
    std::vector<uint8_t> wide, ansi;
    for (wchar_t c : path) {
        wide.push_back(static_cast<uint8_t>(c & 0xFF));
        wide.push_back(static_cast<uint8_t>(c >> 8));
    }
    const int bytes = WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(bytes > 0 ? bytes : 0));
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), reinterpret_cast<char*>(ansi.data()),
                            bytes, nullptr, nullptr);
    const long count = tw::get(topFolders, Count).number();
    for (long i = count; i >= 1; --i) {
        tw::ComPtr<IDispatch> root = tw::call(topFolders, Item, {i}).object();
        try {
            const std::vector<uint8_t> id = bytesOfHex(tw::get(root.get(), StoreID).text());
            if (containsNoCase(id, wide) || containsNoCase(id, ansi))
                return root;
        } catch (const tw::AutomationFailure&) {
            // A store without an id of its own is not the one added.
        }
    }
    return tw::call(topFolders, GetLast).object();
}

tw::ComPtr<IDispatch> folderNamedLike(IDispatch* folders, const std::wstring& name) {
    const long count = tw::get(folders, Count).number();
    for (long i = 1; i <= count; ++i) {
        tw::ComPtr<IDispatch> folder = tw::call(folders, Item, {i}).object();
        const std::wstring other = folder ? tw::get(folder.get(), Name).text() : std::wstring();
        if (CompareStringOrdinal(other.c_str(), static_cast<int>(other.size()), name.c_str(),
                                 static_cast<int>(name.size()), TRUE) == CSTR_EQUAL)
            return folder;
    }
    return nullptr;
}

} // namespace

bool openOutlookSession(OutlookSession& session, ProgressView& page, const std::wstring& pstPath) {
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        ++session.comStarts;
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(L"Outlook.Application", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, session.application.putVoid());
    if (FAILED(hr) || !session.application) {
        session.application.reset();
        page.ask(L"Microsoft Outlook not found installed or corrupted. Please install Microsoft Outlook & re-run "
                 L"conversion Application",
                 MB_OK);
        conversionRun().requestStop();
        return false;
    }
    session.nameSpace = tw::call(session.application.get(), GetNamespace, {L"MAPI"}).object();
    try {
        tw::call(session.nameSpace.get(), Logon, {tw::Variant(), tw::Variant(), tw::Variant(), tw::Variant()});
    } catch (const tw::AutomationFailure& e) {
        reportRunFailure(page, runfailure::kLogonFailed, e.description);
        return false;
    }
    tw::call(session.nameSpace.get(), AddStore, {pstPath});
    session.topFolders = tw::get(session.nameSpace.get(), Folders).object();
    session.storeRoot = rootOfStore(session.topFolders.get(), pstPath);
    if (!session.storeRoot)
        throw tw::AutomationFailure{E_FAIL, L"The personal folders file was added, but its folders were not found."};
    tw::put(session.storeRoot.get(), Name, tw::Variant(kStoreRootName));
    tw::put(session.storeRoot.get(), Description, tw::Variant(kStoreRootName));
    session.storeFolders = tw::get(session.storeRoot.get(), Folders).object();
    return true;
}

tw::ComPtr<IDispatch> findOrCreateFolderPath(OutlookSession& session, const std::wstring& path) {
    if (path == L"Personal Folders\\")
        return session.storeRoot;
    tw::ComPtr<IDispatch> parent = session.storeFolders;
    tw::ComPtr<IDispatch> current;
    std::wstring remaining = path;
    while (!remaining.empty() && parent) {
        const size_t slash = remaining.find(L'\\');
        const std::wstring component = remaining.substr(0, slash);
        remaining = slash == std::wstring::npos ? std::wstring() : remaining.substr(slash + 1);
        if (component == L"Personal Folders")
            continue;
        tw::ComPtr<IDispatch> found;
        const long count = tw::get(parent.get(), Count).number();
        for (long i = 1; i <= count && !found; ++i) {
            tw::ComPtr<IDispatch> folder = tw::call(parent.get(), Item, {i}).object();
            if (folder && tw::get(folder.get(), Name).text() == component)
                found = folder;
        }
        if (!found) {
            try {
                found = tw::call(parent.get(), Add, {component, L"IPF.Post"}).object();
            } catch (const tw::AutomationFailure&) {
                // Outlook refuses a name that differs from a sibling's only
                // in letter case: the messages go to that folder rather
                // than being lost with this one.
                found = folderNamedLike(parent.get(), component);
                if (!found)
                    throw;
            }
        }
        current = found;
        parent = current ? tw::get(current.get(), Folders).object() : nullptr;
    }
    return current;
}

void shutDownOutlook(OutlookSession& session) {
    session.contactItem.reset();
    session.storeRoot.reset();
    session.topFolders.reset();
    session.storeFolders.reset();
    if (session.nameSpace) {
        try {
            tw::call(session.nameSpace.get(), Logoff);
        } catch (const tw::AutomationFailure&) {
        }
        session.nameSpace.reset();
    }
    if (session.application) {
        try {
            tw::call(session.application.get(), Quit);
        } catch (const tw::AutomationFailure&) {
        }
        session.application.reset();
    }
    if (session.comStarts > 0) {
        --session.comStarts;
        CoUninitialize();
    }
}
