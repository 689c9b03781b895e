// A store its owner protected with a password (PidTagPstPassword, the
// CRC-32 of the password) is changed only when opened with that password.
#include "PstTestFiles.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

TEST(StorePassword, APasswordedStoreChangesOnlyWithItsPassword) {
    ScratchDir dir;
    const std::string path = dir.copyOf("java-libpst_passworded.pst");
    const std::string before = readAll(path);
    EXPECT_EQ(0xE61EB50Fu, pst::Store::open(path)->passwordCrc());
    // The sample's own password, which its CRC gives away.
    EXPECT_EQ(0xE61EB50Fu, pst::Store::passwordCrc("testpassword"));
    for (const char* wrong : {"", "testpassworD", "testpassword "}) {
        try {
            pst::Store::open(path, true, wrong);
            ADD_FAILURE() << "opened for writing with \"" << wrong << "\"";
        } catch (const pst::Error& e) {
            EXPECT_EQ(pst::ErrorKind::Locked, e.kind()) << e.what();
        }
    }
    EXPECT_TRUE(before == readAll(path)) << "a store opened without its password was changed";
    {
        auto store = pst::Store::open(path, true, "testpassword");
        store->createFolder(store->ipmSubtree(), "Unlocked", "IPF.Note");
        store->commit();
    }
    expectSound(path, false);
    EXPECT_TRUE(pst::Store::open(path)->findSubfolder(pst::Store::open(path)->ipmSubtree(), "Unlocked"));
    // A store without a password opens for writing whatever is given.
    const std::string open = dir.copyOf("tika_testPST.pst");
    EXPECT_EQ(0u, pst::Store::open(open)->passwordCrc());
    EXPECT_NO_THROW(pst::Store::open(open, true, "anything"));
}
