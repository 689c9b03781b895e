#include "DxlWriter.h"
#include "Generators.h"

#include <map>

namespace notesgen {

namespace {

struct Memo {
    std::string from;
    std::vector<std::string> sendTo;
    std::vector<std::string> copyTo;
    bool hasCopyTo = true;
    std::vector<std::string> posted;
    std::string subject;
    bool hasSubject = true;
    std::vector<std::string> body;
    std::vector<std::pair<std::string, std::string>> attachments;
};

const char kAnna[] = "CN=Anna Berg/OU=Sales/O=Tidewell/C=DE";
const char kJonas[] = "CN=Jonas Lind/OU=Engineering/O=Tidewell/C=SE";
const char kMaria[] = "CN=Mar\xC3\xAD" "a S\xC3\xA1nchez/OU=Support/O=Tidewell/C=ES";
const char kPierre[] = "CN=Pierre Dubois/O=Tidewell/C=FR";
const char kOutside[] = "lisa.meyer@example.com";
// "Γιώργος Παπαδόπουλος", a colleague in Athens.
const char kGiorgos[] = "CN=\xCE\x93\xCE\xB9\xCF\x8E\xCF\x81\xCE\xB3\xCE\xBF\xCF\x82 "
                        "\xCE\xA0\xCE\xB1\xCF\x80\xCE\xB1\xCE\xB4\xCF\x8C\xCF\x80\xCE\xBF\xCF\x85\xCE\xBB\xCE\xBF\xCF\x82"
                        "/OU=Athens/O=Tidewell/C=GR";

std::string csvFigures() {
    std::string s = "Quarter;Region;Revenue\r\n";
    const char* regions[] = {"North", "South", "East", "West"};
    for (int q = 1; q <= 4; ++q)
        for (const char* r : regions)
            s += "Q" + std::to_string(q) + ";" + r + ";" + std::to_string(1000 * q + static_cast<int>(r[0])) + "\r\n";
    return s;
}

// A binary attachment: every byte value, many times over.
std::string binaryBlob(size_t n) {
    std::string s(n, '\0');
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(i < 256 ? i : (x & 0xFF));
    }
    return s;
}

} // namespace

const char kAgenda[] = "1. Welcome\r\n2. Plans\r\n";

std::vector<std::pair<std::string, std::string>> sampleMailAttachments() {
    return {{"figures.csv", csvFigures()}, {"scan.bin", binaryBlob(200000)}, {"agenda.txt", kAgenda}};
}

bool writeSampleMail(const std::string& path) {
    DxlWriter w(path);
    std::map<std::string, std::string> unid; // memo key -> unid
    uint64_t next = 1;
    auto memo = [&](const std::string& key, const Memo& m) {
        std::string id = unidOf(next++);
        unid[key] = id;
        w.beginDocument("Memo", id);
        w.text("Form", "Memo");
        if (!m.from.empty())
            w.text("From", m.from);
        w.textList("SendTo", m.sendTo);
        if (m.hasCopyTo && !m.copyTo.empty())
            w.textList("CopyTo", m.copyTo);
        if (m.posted.size() == 1)
            w.dateTime("PostedDate", m.posted[0]);
        else if (!m.posted.empty())
            w.dateTimeList("PostedDate", m.posted);
        if (m.hasSubject)
            w.text("Subject", m.subject);
        if (!m.body.empty())
            w.richText("Body", m.body);
        for (const auto& a : m.attachments)
            w.attachment(a.first, a.second);
        w.endDocument();
    };

    memo("figures", {kAnna, {kJonas, kMaria}, {kPierre}, true, {"20070307T090500,00+01"},
                     "Quarterly figures \xE2\x80\x94 \xC3\x9C" "bersicht f\xC3\xBCr M\xC3\xA4rz \xE2\x80\x94 \xE5\x9B\x9B\xE5\x8D\x8A\xE6\x9C\x9F\xE3\x81\xAE\xE6\x95\xB0\xE5\xAD\x97",
                     true,
                     {"Hello Jonas, hello Mar\xC3\xAD" "a,", "the figures for the first quarter are attached.",
                      "Kind regards, Anna"},
                     {{"figures.csv", csvFigures()}}});
    memo("newsletter", {kGiorgos, {kAnna}, {}, false, {"20070312T161500,00+01"}, "Newsletter: spring edition", true,
                        {"<HTML> <body><h1>Spring edition</h1><p>News from the <b>Tidewell</b> team.</p></body></html>"},
                        {}});
    memo("forwarded", {kJonas, {kAnna, kOutside}, {kMaria, kPierre}, true, {"20070315T101010,00+01"},
                       "Fwd: contract draft", true, {"See the forwarded message and my notes."},
                       {{"forwarded.MSG", "From: someone\r\nSubject: contract\r\n\r\nbody"},
                        {"notes.msgx", "my notes on the contract"},
                        {"scan.bin", binaryBlob(200000)}}});
    memo("empty-to", {kMaria, {}, {}, false, {"20070316T080000,00+01"}, "Reminder to myself", true,
                      {"Call the printer."}, {}});
    memo("no-subject", {kPierre, {kAnna}, {}, false, {"20070317T120000,00+01"}, "", false, {"(no subject here)"}, {}});
    memo("two-dates", {kJonas, {kAnna}, {}, false, {"20070318T090000,00+01", "20070319T090000,00+01"},
                       "Two posted dates", true, {"This memo carries two posted dates."}, {}});
    memo("lowercase-html", {kAnna, {kJonas}, {}, false, {"20070320T140000,00+01"}, "Plain, though it looks like HTML",
                            true, {"<html> this is not taken as HTML"}, {}});
    // "Re: meeting on Friday — 金曜日の会議"
    memo("sent", {kGiorgos, {kPierre}, {kJonas}, true, {"20070308T110000,00+01"},
                  "Re: meeting on Friday \xE2\x80\x94 \xE9\x87\x91\xE6\x9B\x9C\xE6\x97\xA5\xE3\x81\xAE\xE4\xBC\x9A\xE8\xAD\xB0", true,
                  {"Friday at ten suits me."}, {}});
    memo("draft", {kAnna, {kMaria}, {}, false, {}, "Draft: holiday plan", true, {"Not finished yet."}, {}});
    memo("trash", {kOutside, {kAnna}, {}, false, {"20070301T070000,00+01"}, "Special offer!!!", true,
                   {"You have won."}, {}});
    memo("work1", {kJonas, {kAnna}, {}, false, {"20070321T091500,00+01"}, "Work: sprint review", true,
                   {"Review on Monday."}, {}});
    memo("work2", {kMaria, {kAnna}, {}, false, {"20070322T101500,00+01"}, "work: lower-case folder", true,
                   {"Filed in the folder named work."}, {}});
    memo("project", {kPierre, {kAnna, kJonas}, {}, false, {"20070323T153000,00+01"}, "Projects 2007: kick-off", true,
                     {"Kick-off of the 2007 projects.", "Agenda attached."}, {{"agenda.txt", kAgenda}}});
    memo("user-inbox", {kJonas, {kAnna}, {}, false, {"20070324T084500,00+01"}, "Filed in my own Inbox folder", true,
                        {"A user folder named Inbox."}, {}});
    memo("private", {kAnna, {kAnna}, {}, false, {"20070325T200000,00+01"}, "Private note", true, {"Private."}, {}});
    memo("trip", {kAnna, {kJonas}, {}, false, {"20070326T180000,00+01"}, "Trip to Lisbon", true, {"Flights booked."}, {}});

    auto ids = [&](std::initializer_list<const char*> keys) {
        std::vector<std::string> out;
        for (const char* k : keys)
            out.push_back(unid.at(k));
        return out;
    };
    std::vector<std::string> all;
    for (const auto& kv : unid)
        all.push_back(kv.second);

    w.view("($Inbox)", true, ids({"figures", "newsletter", "forwarded", "empty-to", "no-subject", "two-dates",
                                 "lowercase-html"}));
    w.view("($Sent)", false, ids({"sent"}));
    w.view("($Drafts)", false, ids({"draft"}));
    w.view("($All)", false, all);
    w.view("($Trash)", true, ids({"trash"}));
    w.view("Inbox", true, ids({"user-inbox"}));
    w.view("Work", true, ids({"work1"}));
    w.view("work", true, ids({"work2"}));
    w.view("Projects\\2007", true, ids({"project"}));
    w.view("(Private", true, ids({"private"}));
    w.view("Trips (2007)", true, ids({"trip"}));
    w.view("\xD0\x9F\xD0\xBE \xD1\x82\xD0\xB5\xD0\xBC\xD0\xB5", false, ids({"figures", "sent", "work1"})); // "По теме"
    w.view("($Alarms)", false, {});
    return w.finish();
}

} // namespace notesgen
