#include "DxlWriter.h"
#include "Generators.h"

namespace notesgen {

bool writeSampleNames(const std::string& path) {
    DxlWriter w(path);
    uint64_t next = 1000;
    auto person = [&](const std::function<void()>& items) {
        w.beginDocument("Person", unidOf(next++));
        w.text("Form", "Person");
        items();
        w.endDocument();
    };
    // Every item filled.
    person([&] {
        w.text("FirstName", "Anna");
        w.text("LastName", "Berg");
        w.text("MiddleInitial", "K");
        w.text("OfficeFAXPhoneNumber", "+49 40 1234-99");
        w.text("HomeFAXPhoneNumber", "+49 40 5555-01");
        w.textList("FullName", {"CN=Anna Berg/OU=Sales/O=Tidewell/C=DE", "Anna Berg", "aberg"});
        w.text("ShortName", "aberg");
        w.text("InternetAddress", "anna.berg@tidewell.example");
        w.text("CompanyName", "Tidewell");
        w.text("MailAddress", "Hafenstra\xC3\x9F" "e 12, 20457 Hamburg");
        w.text("Country", "Germany");
        w.dateTime("Birthday", "19750314");
        w.dateTime("Anniversary", "20010601");
        w.text("Department", "Sales");
        w.text("MiscPhone1", "+49 40 1234-0");
        w.text("OfficePhoneNumber", "+49 40 1234-10");
        w.text("CellPhoneNumber", "+49 170 1234567");
    });
    // Some missing, some empty, a name with accents.
    person([&] {
        w.text("FirstName", "Mar\xC3\xAD" "a");
        w.text("LastName", "S\xC3\xA1nchez");
        w.text("MiddleInitial", "");
        w.textList("FullName", {"Mar\xC3\xAD" "a S\xC3\xA1nchez"});
        w.text("InternetAddress", "maria.sanchez@tidewell.example");
        w.text("CompanyName", "");
        w.text("Country", "Espa\xC3\xB1" "a");
        w.text("CellPhoneNumber", "+34 600 123 456");
    });
    // Two birthdays (no valid single date), several phone numbers.
    person([&] {
        w.text("FirstName", "Jonas");
        w.text("LastName", "Lind");
        w.textList("FullName", {"Jonas Lind"});
        w.dateTimeList("Birthday", {"19800102", "19800203"});
        w.textList("OfficePhoneNumber", {"+46 8 123 45", "+46 8 123 46"});
        w.text("Department", "Engineering");
    });
    // A birthday stored as text (another item type than the conversion asks for).
    person([&] {
        w.text("FirstName", "Pierre");
        w.text("LastName", "Dubois");
        w.textList("FullName", {"Pierre Dubois"});
        w.text("Birthday", "14 juillet");
        w.text("MailAddress", "12 rue de la Paix, Paris");
        w.text("CellPhoneNumber", "+33 6 12 34 56 78");
    });
    // None of the contact items.
    person([&] { w.text("Comment", "A person document with no contact items."); });
    // Documents that are not persons.
    w.beginDocument("Group", unidOf(next++));
    w.text("Form", "Group");
    w.text("ListName", "Sales team");
    w.textList("Members", {"Anna Berg", "Pierre Dubois"});
    w.endDocument();
    w.beginDocument("Server", unidOf(next++));
    w.text("ServerName", "CN=Mail01/O=Tidewell");
    w.endDocument();
    w.view("People", false, {unidOf(1000), unidOf(1001), unidOf(1002), unidOf(1003), unidOf(1004)});
    w.view("Groups", false, {unidOf(1005)});
    return w.finish();
}

} // namespace notesgen
