#include "Application.h"

#include "Item.h"
#include "NameSpace.h"

namespace outlook {

namespace {
enum : DISPID { kGetNamespace = 0x110, kCreateItem = 0x10A, kVersion = 0x116, kQuit = 0x113 };
} // namespace

tw::ComPtr<Application> Application::make() {
    return tw::ComPtr<Application>::adopt(new Application(Session::running()));
}

const std::vector<Member>& Application::members() const {
    static const std::vector<Member> list = {{L"GetNamespace", kGetNamespace}, {L"CreateItem", kCreateItem},
                                             {L"Version", kVersion}, {L"Quit", kQuit}};
    return list;
}

void Application::invoke(DISPID id, Args& args, VARIANT* result) {
    switch (id) {
    case kGetNamespace: {
        const std::wstring type = args.text(0);
        if (lstrcmpiW(type.c_str(), L"MAPI") != 0)
            throw AutomationError{L"The name space type is not valid.", E_INVALIDARG};
        returnObject(result, NameSpace::make(session_).detach());
        return;
    }
    case kCreateItem:
        returnObject(result, Item::createNew(session_, args.number(0)).detach());
        return;
    case kVersion:
        returnText(result, session_->version());
        return;
    case kQuit:
        session_->quit();
        return;
    }
    noSuchMember();
}

} // namespace outlook
