// The profile's stores and their folders, as the conversion's set-up uses
// them: AddStore, the top folders, naming the root, folders found and made.
#include "OutlookFixture.h"

#include "pst/Checker.h"
#include "pst/Store.h"

using namespace outlooktest;

namespace {

std::wstring text(IDispatch* object, DISPID member) { return tw::get(object, member).text(); }

} // namespace

TEST_F(OutlookTest, AddedStoreIsTheLastTopFolderAndTakesItsRootsName) {
    start();
    const std::wstring target = dir.file(L"Target.pst");
    tw::ComPtr<IDispatch> root = addStore(target);
    ASSERT_TRUE(root);
    EXPECT_TRUE(testenv::fileExists(target)) << "AddStore creates a missing PST";
    EXPECT_TRUE(testenv::fileExists(defaultStorePath())) << "the default store is made at the first logon";
    tw::ComPtr<IDispatch> top = tw::get(nameSpace.get(), id::Folders).object();
    EXPECT_EQ(2, tw::get(top.get(), id::Count).number());
    EXPECT_EQ(L"Personal Folders", text(root.get(), id::Name));

    tw::put(root.get(), id::Name, tw::Variant(L"Tidewell Conversion Folder"));
    tw::put(root.get(), id::Description, tw::Variant(L"Tidewell Conversion Folder"));
    EXPECT_EQ(L"Tidewell Conversion Folder", text(root.get(), id::Name));

    // Adding the same file again, spelled otherwise, adds no store.
    std::wstring upper = target;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    tw::call(nameSpace.get(), id::AddStore, {upper});
    EXPECT_EQ(2, tw::get(top.get(), id::Count).number());

    // The default store's root comes first and holds Outlook's folders.
    tw::ComPtr<IDispatch> first = tw::call(top.get(), id::Item, {1}).object();
    tw::ComPtr<IDispatch> defaults = tw::get(first.get(), id::Folders).object();
    EXPECT_TRUE(tw::call(defaults.get(), id::Item, {L"Notes"}).object());
    EXPECT_TRUE(tw::call(defaults.get(), id::Item, {L"Contacts"}).object());
    EXPECT_EQ(DISP_E_BADINDEX, failureOf([&] { tw::call(top.get(), id::Item, {3}); }));

    tw::call(app.get(), id::Quit);
    auto store = pst::Store::open(narrow(target));
    EXPECT_EQ("Tidewell Conversion Folder", store->displayName());

    // The profile keeps the store across sessions, in the order added.
    start();
    top = tw::get(nameSpace.get(), id::Folders).object();
    EXPECT_EQ(2, tw::get(top.get(), id::Count).number());
    tw::ComPtr<IDispatch> last = tw::call(top.get(), id::GetLast).object();
    EXPECT_EQ(L"Tidewell Conversion Folder", text(last.get(), id::Name));
}

TEST_F(OutlookTest, FoldersAreAddedOnceAndFoundAgainByTheirIds) {
    start();
    const std::wstring target = dir.file(L"Folders.pst");
    tw::ComPtr<IDispatch> root = addStore(target);
    tw::ComPtr<IDispatch> under = tw::get(root.get(), id::Folders).object();
    const long before = tw::get(under.get(), id::Count).number();
    tw::ComPtr<IDispatch> mails = tw::call(under.get(), id::Add, {L"Lotus Mails", L"IPF.Post"}).object();
    ASSERT_TRUE(mails);
    EXPECT_EQ(before + 1, tw::get(under.get(), id::Count).number());
    tw::ComPtr<IDispatch> inbox =
        tw::call(tw::get(mails.get(), id::Folders).object().get(), id::Add, {L"Inbox", L"IPF.Post"}).object();
    tw::ComPtr<IDispatch> contacts = tw::call(under.get(), id::Add, {L"People", 10}).object();
    ASSERT_TRUE(inbox && contacts);

    // Outlook refuses a name a sibling has, in any letter case, and no name.
    std::wstring why;
    EXPECT_EQ(E_FAIL, failureOf([&] { tw::call(under.get(), id::Add, {L"lotus mails", L"IPF.Post"}); }, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_NE(S_OK, failureOf([&] { tw::call(under.get(), id::Add, {L"", L"IPF.Post"}); }));
    EXPECT_NE(S_OK, failureOf([&] { tw::call(under.get(), id::Add, {L"Odd", 999}); }));
    tw::ComPtr<IDispatch> top = tw::get(nameSpace.get(), id::Folders).object();
    EXPECT_NE(S_OK, failureOf([&] { tw::call(top.get(), id::Add, {L"A store?", L"IPF.Note"}); }));

    const std::wstring entryId = text(inbox.get(), id::EntryID), storeId = text(inbox.get(), id::StoreID);
    EXPECT_EQ(48u, entryId.size()) << narrow(entryId);
    EXPECT_EQ(std::wstring::npos, entryId.find_first_not_of(L"0123456789ABCDEF"));
    EXPECT_EQ(storeId, text(root.get(), id::StoreID));
    tw::call(app.get(), id::Quit);

    // A new session finds the folder by its ids, as the conversion does
    // after restarting Outlook.
    start();
    addStore(target);
    tw::ComPtr<IDispatch> again = tw::call(nameSpace.get(), id::GetFolderFromID, {entryId, storeId}).object();
    ASSERT_TRUE(again);
    EXPECT_EQ(L"Inbox", text(again.get(), id::Name));
    EXPECT_EQ(entryId, text(again.get(), id::EntryID));
    EXPECT_NE(S_OK, failureOf([&] { tw::call(nameSpace.get(), id::GetFolderFromID, {L"12AB", storeId}); }));
    tw::call(app.get(), id::Quit);

    auto store = pst::Store::open(narrow(target));
    std::optional<uint32_t> m = store->findSubfolder(store->ipmSubtree(), "Lotus Mails");
    ASSERT_TRUE(m);
    EXPECT_EQ("IPF.Post", store->folder(*m).containerClass);
    std::optional<uint32_t> i = store->findSubfolder(*m, "Inbox");
    ASSERT_TRUE(i);
    EXPECT_EQ("IPF.Post", store->folder(*i).containerClass);
    EXPECT_EQ("IPF.Contact", store->folder(*store->findSubfolder(store->ipmSubtree(), "People")).containerClass);
}

TEST_F(OutlookTest, AfterQuitEveryObjectFailsWithAnAutomationError) {
    start();
    tw::ComPtr<IDispatch> root = addStore(dir.file(L"Quit.pst"));
    tw::ComPtr<IDispatch> item = tw::call(app.get(), id::CreateItem, {5}).object();
    tw::call(app.get(), id::Quit);
    std::wstring why;
    EXPECT_EQ(RPC_E_DISCONNECTED, failureOf([&] { tw::get(root.get(), id::Name); }, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_NE(S_OK, failureOf([&] { tw::call(item.get(), id::Save); }));
    EXPECT_NE(S_OK, failureOf([&] { tw::call(nameSpace.get(), id::Logon); }));
    EXPECT_NE(S_OK, failureOf([&] { tw::get(app.get(), id::Version); }));
    app.reset(); // nothing to quit again
}

TEST_F(OutlookTest, VersionComesFromTheProfileAndMembersHaveNames) {
    start();
    EXPECT_EQ(L"11.0.8169.0", tw::get(app.get(), id::Version).text());
    tw::call(app.get(), id::Quit);
    setProfileValue(L"Version", L"9.0.0.2711");
    start();
    EXPECT_EQ(L"9.0.0.2711", tw::get(app.get(), id::Version).text());
    EXPECT_EQ(id::GetNamespace, tw::idOf(app.get(), L"GetNamespace"));
    EXPECT_EQ(id::AddStore, tw::idOf(nameSpace.get(), L"addstore"));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, failureOf([&] { tw::idOf(app.get(), L"NoSuchMember"); }));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, failureOf([&] { tw::call(app.get(), 0x7777); }));
    EXPECT_NE(S_OK, failureOf([&] { tw::call(app.get(), id::GetNamespace, {L"NOTMAPI"}); }));
    EXPECT_NE(S_OK, failureOf([&] { tw::call(app.get(), id::CreateItem, {99}); }));
    EXPECT_NE(S_OK, failureOf([&] { tw::call(app.get(), id::CreateItem); }));
}

TEST_F(OutlookTest, AFileThatIsNotAPstIsRefusedAndLeftAlone) {
    start();
    const std::wstring path = dir.file(L"notes.txt");
    const std::string content = "just some text, not a store\r\n";
    ASSERT_TRUE(testenv::writeFileBytes(path, content));
    std::wstring why;
    EXPECT_NE(S_OK, failureOf([&] { tw::call(nameSpace.get(), id::AddStore, {path}); }, &why));
    EXPECT_NE(std::wstring::npos, why.find(L"not a PST")) << narrow(why);
    EXPECT_EQ(content, testenv::readFileBytes(path));
    tw::ComPtr<IDispatch> top = tw::get(nameSpace.get(), id::Folders).object();
    EXPECT_EQ(1, tw::get(top.get(), id::Count).number());
}

// A store whose volume is full refuses each change with an error and keeps
// what it had: under its flush interval, pages that could not be written
// must never be named by a header that could.
TEST_F(OutlookTest, AStoreOnAFullVolumeRefusesChangesAndStaysSound) {
    testenv::SmallVolumeDirectory small;
    if (small.path().empty())
        GTEST_SKIP() << "no small volume (TW_LOW_SPACE_DRIVE)";
    const std::wstring target = small.path() + L"\\Full.pst";
    start();
    tw::ComPtr<IDispatch> root = addStore(target);
    ASSERT_TRUE(small.fill(0));
    int moved = 0, refused = 0;
    for (int i = 0; i < 60; ++i) {
        // Of growing size: some fit where the file has room, others not.
        tw::ComPtr<IDispatch> item = tw::call(app.get(), id::CreateItem, {5}).object();
        tw::put(item.get(), id::Body, tw::Variant(std::wstring(100 + 50 * i, L'x')));
        if (failureOf([&] { tw::call(item.get(), id::Move, {tw::Variant(root.get())}); }) == S_OK)
            ++moved;
        else
            ++refused;
    }
    tw::call(nameSpace.get(), id::Logoff);
    tw::call(app.get(), id::Quit);
    root.reset();
    nameSpace.reset();
    app.reset();
    small.drain();
    EXPECT_GT(refused, 0) << "the volume did not fill up";
    const pst::CheckReport report = pst::checkFile(narrow(target));
    ASSERT_TRUE(report.ok()) << report.errors[0];
    auto store = pst::Store::open(narrow(target));
    EXPECT_EQ(static_cast<size_t>(moved), store->messages(store->ipmSubtree()).size());
}

// With no window of the caller's to own Outlook's password prompt (a
// program without windows, such as the benchmark), a store protected by a
// password is not opened, and is left as it was.
TEST_F(OutlookTest, APasswordedStoreWithNoOneToAskIsRefusedAndLeftAlone) {
    const std::wstring path = dir.file(L"Passworded.pst");
    ASSERT_TRUE(CopyFileW(TW_PST_SAMPLES_WIN L"\\java-libpst_passworded.pst", path.c_str(), FALSE) &&
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    const std::string before = testenv::readFileBytes(path);
    start();
    std::wstring why;
    EXPECT_EQ(static_cast<HRESULT>(0x80040113), failureOf([&] { tw::call(nameSpace.get(), id::AddStore, {path}); }, &why))
        << narrow(why);
    EXPECT_NE(std::wstring::npos, why.find(L"password")) << narrow(why);
    tw::call(nameSpace.get(), id::Logoff);
    EXPECT_TRUE(before == testenv::readFileBytes(path)) << "the file was changed";
}
