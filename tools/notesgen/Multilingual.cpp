#include "DxlWriter.h"
#include "Generators.h"

namespace notesgen {

const std::vector<ScriptSample>& scriptSamples() {
    // Each in UTF-8, as the database file holds it.
    static const std::vector<ScriptSample> samples = {
        {"Greek", "Έργα", "Γιώργος", "Παπαδόπουλος", "Ελληνικά θέματα", "Καλημέρα σας, τα στοιχεία επισυνάπτονται.",
         "αναφορά.txt"},
        {"Russian", "Проекты", "Дмитрий", "Иванов", "Отчёт за квартал", "Добрый день! Отчёт во вложении.",
         "отчёт.txt"},
        {"Czech", "Pošta", "Jiří", "Dvořák", "Česká pošta", "Dobrý den, přílohu posílám.", "přehled.txt"},
        {"German", "Überblick", "Jörg", "Müller", "Grüße aus Köln", "Schöne Grüße, die Übersicht ist angehängt.",
         "Übersicht.txt"},
        {"Arabic", "مشاريع", "محمد", "العلي", "تقرير الربع", "مرحبا، التقرير مرفق.", "تقرير.txt"},
        {"Hebrew", "פרויקטים", "דוד", "כהן", "דוח רבעוני", "שלום, הדוח מצורף.", "דוח.txt"},
        {"Japanese", "プロジェクト", "山田", "太郎", "会議の議事録", "お疲れ様です。議事録を添付します。",
         "議事録.pdf"},
        {"Chinese", "项目", "王", "小明", "季度报告", "您好，报告见附件。", "报告.txt"},
        {"Korean", "프로젝트", "김", "민준", "분기 보고서", "안녕하세요, 보고서를 첨부합니다.", "보고서.txt"},
        {"Emoji", "Ideas 💡", "Sam 😀", "Smith", "Launch 🚀 party", "See you there 🎉 with 𝄞 music.",
         "plan 📎.txt"},
    };
    return samples;
}

std::string scriptSampleFullName(const ScriptSample& s) { return std::string(s.firstName) + " " + s.lastName; }

std::string scriptSampleAttachment(const ScriptSample& s) {
    return std::string("contents of ") + s.attachment + " (" + s.language + ")\n";
}

bool writeMultilingualMail(const std::string& path) {
    DxlWriter w(path);
    const auto& samples = scriptSamples();
    std::vector<std::string> ids;
    for (size_t i = 0; i < samples.size(); ++i) {
        const ScriptSample& s = samples[i];
        const ScriptSample& next = samples[(i + 1) % samples.size()];
        ids.push_back(unidOf(5000 + i));
        w.beginDocument("Memo", ids.back());
        w.text("Form", "Memo");
        w.text("From", "CN=" + scriptSampleFullName(s) + "/O=Tidewell");
        w.textList("SendTo", {"CN=" + scriptSampleFullName(next) + "/O=Tidewell", "CN=Jonas Lind/O=Tidewell"});
        w.textList("CopyTo", {scriptSampleFullName(s)});
        w.dateTime("PostedDate", "20070307T090500,00+01");
        w.text("Subject", s.subject);
        w.richText("Body", {s.body, std::string(s.language) + ": " + s.subject});
        w.attachment(s.attachment, scriptSampleAttachment(s));
        w.endDocument();
    }
    for (size_t i = 0; i < samples.size(); ++i)
        w.view(samples[i].folder, true, {ids[i]});
    return w.finish();
}

bool writeMultilingualNames(const std::string& path) {
    DxlWriter w(path);
    const auto& samples = scriptSamples();
    for (size_t i = 0; i < samples.size(); ++i) {
        const ScriptSample& s = samples[i];
        w.beginDocument("Person", unidOf(6000 + i));
        w.text("Form", "Person");
        w.text("FirstName", s.firstName);
        w.text("LastName", s.lastName);
        w.textList("FullName", {scriptSampleFullName(s)});
        w.text("CompanyName", s.folder);
        w.text("Department", s.subject);
        w.text("MailAddress", s.body);
        w.text("Country", s.language);
        w.endDocument();
    }
    return w.finish();
}

} // namespace notesgen
