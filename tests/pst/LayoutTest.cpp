// What the engine writes, laid out as Outlook lays out its own files: each
// heap's allocations in the order and of the kinds Outlook gives the same
// kind of node, every block but a heap's last a whole block, and the
// templates' columns where Outlook puts them.
#include "TestValues.h"
#include "ExternalReaders.h"
#include "pst/Layout.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {


// Outlook's Unicode samples: the reference for every kind of node.
const char* const kUnicodeSamples[] = {"java-libpst_dist-list.pst", "java-libpst_passworded.pst",
                                       "pstsdk_sample1.pst",        "pstsdk_submessage.pst",
                                       "pstsdk_test_unicode.pst",   "tika_testPST.pst",
                                       "tika_testPST_variousBodyTypes.pst"};

pst::Properties recipient(const std::string& name, int32_t type) {
    pst::Properties r;
    r[pst::tag(0x3001, pst::PT_UNICODE)] = text(name);
    r[pst::tag(0x3002, pst::PT_UNICODE)] = text("NOTES");
    r[pst::tag(0x3003, pst::PT_UNICODE)] = text(name + "/Tidewell");
    r[pst::tag(0x0C15, pst::PT_LONG)] = number(type);
    return r;
}

pst::NewMessage note(const std::string& subject, const std::string& body) {
    pst::NewMessage m;
    m.properties[pst::tag(0x001A, pst::PT_UNICODE)] = text("IPM.Note");
    m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text(subject);
    m.properties[pst::tag(0x0C1A, pst::PT_UNICODE)] = text("Anna Berg/Sales/Tidewell/DE");
    m.properties[pst::tag(0x0042, pst::PT_UNICODE)] = text("Anna Berg/Sales/Tidewell/DE");
    m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = text(body);
    m.properties[pst::tag(0x0E07, pst::PT_LONG)] = number(0);
    return m;
}

// A store with a message of every kind the conversion makes, a contact and
// their folders.
void writeEveryKind(const std::string& path) {
    auto store = pst::Store::create(path, "Tidewell Conversion Folder");
    const uint32_t mails = store->createFolder(store->ipmSubtree(), "Lotus Mails", "IPF.Note");
    const uint32_t inbox = store->createFolder(mails, "Inbox", "IPF.Note");
    store->addMessage(inbox, note("Plain", "A short body."));
    pst::NewMessage long_ = note("Long body", std::string(3000, 'x'));
    long_.recipients = {recipient("Jonas Lind", 1), recipient("Pierre Dubois", 2), recipient("Eva Holm", 3)};
    store->addMessage(inbox, long_);
    pst::NewMessage html = note("HTML", "Spring edition");
    html.properties[pst::tag(0x1013, pst::PT_BINARY)] = binary("<html><body><h1>Spring edition</h1></body></html>");
    html.properties[pst::tag(0x3FDE, pst::PT_LONG)] = number(65001);
    html.recipients = {recipient("Jonas Lind", 1)};
    store->addMessage(inbox, html);
    pst::NewMessage withFiles = note("Attachments", "See attached.");
    withFiles.recipients = {recipient("Jonas Lind", 1)};
    withFiles.attachments.push_back({"figures.csv", {'a', ';', 'b'}, {}});
    withFiles.attachments.push_back({"scan.bin", std::vector<uint8_t>(20000, 0x5A), {}});
    store->addMessage(inbox, withFiles);
    store->addMessage(store->createFolder(mails, "Drafts", "IPF.Note"), note("Draft", "Not sent."));

    const uint32_t people = store->createFolder(store->ipmSubtree(), "Address Book", "IPF.Contact");
    pst::NewMessage contact;
    contact.properties[pst::tag(0x001A, pst::PT_UNICODE)] = text("IPM.Contact");
    contact.properties[pst::tag(0x3001, pst::PT_UNICODE)] = text("Anna Berg");
    contact.properties[pst::tag(0x0037, pst::PT_UNICODE)] = text("Anna Berg");
    contact.properties[pst::tag(0x3A06, pst::PT_UNICODE)] = text("Anna");
    contact.properties[pst::tag(0x3A11, pst::PT_UNICODE)] = text("Berg");
    contact.properties[pst::tag(0x3A1C, pst::PT_UNICODE)] = text("+49 170 1234567");
    const uint16_t email = store->namedProperty(pst::psetidAddress(), 0x8083);
    const uint16_t fileUnder = store->namedProperty(pst::psetidAddress(), 0x8005);
    contact.properties[pst::tag(email, pst::PT_UNICODE)] = text("anna.berg@tidewell.example");
    contact.properties[pst::tag(fileUnder, pst::PT_UNICODE)] = text("Berg, Anna");
    store->addMessage(people, contact);
    store->commit();
}

// Outlook lays out every table alike, every message alike and every other
// property context alike, whatever the node is for: the roles in families.
std::string family(const pst::NodeLayout& n) {
    if (n.client == 0x7C)
        return "table";
    if (n.role.find("message") != std::string::npos)
        return "message";
    return n.client == 0xBC ? "properties" : n.role;
}

// The signatures of each family's heaps, over files.
using Signatures = std::map<std::string, std::set<std::string>>;

void collect(const std::vector<pst::NodeLayout>& nodes, Signatures& into) {
    for (const pst::NodeLayout& n : nodes)
        if (n.client)
            into[family(n)].insert(n.signature());
}

std::string listed(const std::set<std::string>& s) {
    std::string out;
    for (const std::string& one : s)
        out += "\n    " + one;
    return out;
}

const pst::NodeLayout* find(const std::vector<pst::NodeLayout>& nodes, const std::string& id) {
    for (const pst::NodeLayout& n : nodes)
        if (n.id == id)
            return &n;
    return nullptr;
}

} // namespace

TEST(Layout, WhatTheEngineWritesIsLaidOutAsOutlookLaysOutItsOwn) {
    Signatures outlook;
    for (const char* sample : kUnicodeSamples)
        collect(pst::describeLayout(pstSample(sample)), outlook);
    ScratchDir dir;
    const std::string path = dir.file("every-kind.pst");
    writeEveryKind(path);
    const std::vector<pst::NodeLayout> ours = pst::describeLayout(path);
    std::set<std::string> roles;
    for (const pst::NodeLayout& n : ours) {
        EXPECT_TRUE(n.error.empty()) << pst::formatLayout(n);
        if (!n.client)
            continue;
        roles.insert(n.role);
        const std::set<std::string>& theirs = outlook[family(n)];
        EXPECT_TRUE(theirs.count(n.signature()))
            << pst::formatLayout(n) << "\n  laid out as " << n.signature() << "; Outlook lays out a " << n.role
            << " (of its " << family(n) << ") as one of:" << listed(theirs);
        EXPECT_TRUE(n.wholeBlocks()) << pst::formatLayout(n);
    }
    for (const char* role : {"store", "name map", "folder", "message", "hierarchy table", "contents table",
                             "recipients", "attachments", "attachment", "template"})
        EXPECT_TRUE(roles.count(role)) << "the store has no " << role << " to compare";

    // A reader that takes Outlook's layout for granted reads it all.
    Extraction listing = pstExtractor(path, dir, "pst-extractor");
    EXPECT_TRUE(listing.ran) << listing.log;
    const std::string& list = listing.files["list"];
    for (const char* line : {"F | /Top of Personal Folders/Lotus Mails/Inbox | IPF.Note | 4 of 4",
                             "F | /Top of Personal Folders/Lotus Mails/Drafts | IPF.Note | 1 of 1",
                             "C | /Top of Personal Folders/Address Book | Anna Berg | Anna |  | Berg | "
                             "anna.berg@tidewell.example"})
        EXPECT_NE(std::string::npos, list.find(line)) << line << " not in:\n" << list << listing.log;

    // The templates' columns are Outlook 2010's, place for place.
    const auto reference = pst::describeLayout(pstSample("tika_testPST_variousBodyTypes.pst"));
    for (const pst::NodeLayout& n : ours) {
        if (n.role != "template")
            continue;
        const pst::NodeLayout* theirs = find(reference, n.id);
        ASSERT_NE(nullptr, theirs) << n.id;
        EXPECT_EQ(theirs->columns, n.columns) << n.id;
        EXPECT_EQ(theirs->bth, n.bth) << n.id;
    }
}
