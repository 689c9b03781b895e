// The XML reader on small documents written to a file: what it decodes,
// what it skips, and where it stops with an error.
#include "NotesTestFiles.h"
#include "XmlReader.h"

#include <gtest/gtest.h>

using notes::XmlReader;
using Event = XmlReader::Event;

namespace {

// All events of a file as a compact trace: <name a=v>, "text", </name>.
std::string trace(const std::string& xml) {
    TempFile file(xml);
    notes::ByteSource src;
    EXPECT_TRUE(src.open(file.path()));
    XmlReader r(src);
    std::string out;
    for (;;) {
        Event e = r.next();
        if (e == Event::End)
            return out;
        if (e == Event::StartElement) {
            out += "<" + r.name();
            for (const auto& a : r.attributes())
                out += " " + a.name + "=" + a.value;
            out += ">";
        } else if (e == Event::EndElement) {
            out += "</" + r.name() + ">";
        } else {
            out += "\"" + r.text(1 << 20) + "\"";
        }
    }
}

std::string errorOf(const std::string& xml) {
    try {
        trace(xml);
    } catch (const notes::XmlError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(XmlReader, ElementsAttributesAndText) {
    EXPECT_EQ("<a x=1 y=two><b></b>\"t\"</a>", trace("<a x='1' y=\"two\"><b/>t</a>"));
}

TEST(XmlReader, EntitiesReferencesAndCdata) {
    EXPECT_EQ("<a q=\"'<>&>\"&<>'\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80]]x<y\"</a>",
              trace("<a q='&quot;&apos;&lt;&gt;&amp;'>&amp;&lt;&gt;&apos;&quot;&#233;&#x20AC;&#x1F600;"
                    "<![CDATA[]]x<y]]></a>"));
}

TEST(XmlReader, SkipsDeclarationDoctypeCommentsAndInstructions) {
    // A comment or instruction inside text ends one run; the next begins after it.
    EXPECT_EQ("<a>\"x\"\"y\"</a>", trace("\xEF\xBB\xBF<?xml version='1.0'?>\n<!DOCTYPE a [ <!ELEMENT a ANY> ]>\n"
                                     "<!-- before --><a><?pi data?>x<!-- in - between -->y</a>\n<!-- after -->"));
}

TEST(XmlReader, TextLongerThanTheBufferWithReferencesAcrossItsEdges) {
    std::string body;
    while (body.size() < 3 * notes::ByteSource::kBufferSize)
        body += "abc&amp;defgh";
    std::string expected;
    for (size_t i = 0; i < body.size();) {
        if (body.compare(i, 5, "&amp;") == 0) {
            expected += '&';
            i += 5;
        } else {
            expected += body[i++];
        }
    }
    EXPECT_EQ("<a>\"" + expected + "\"</a>", trace("<a>" + body + "</a>"));
}

TEST(XmlReader, ATagOrReferenceEndsThePlainRunWhereverItFallsInAWord) {
    // The run is searched eight bytes at a time: '<' and '&' at every place
    // of a word, and bytes either side of them in value.
    for (size_t at = 0; at < 24; ++at) {
        const std::string before(at, '='), after = "%'(;";
        EXPECT_EQ("<a>\"" + before + "&" + after + "\"<b></b>\"" + after + before + "\"</a>",
                  trace("<a>" + before + "&amp;" + after + "<b/>" + after + before + "</a>"))
            << at;
    }
}

TEST(XmlReader, StreamedAndSkippedTextLeaveTheReaderInStep) {
    TempFile file("<a><b>" + std::string(200000, 'z') + "</b><c>" + std::string(100, 'y') + "</c></a>");
    notes::ByteSource src;
    ASSERT_TRUE(src.open(file.path()));
    XmlReader r(src);
    ASSERT_EQ(Event::StartElement, r.next()); // a
    ASSERT_EQ(Event::StartElement, r.next()); // b
    ASSERT_EQ(Event::Text, r.next());
    size_t streamed = 0, pieces = 0;
    r.streamText([&](const char*, size_t n) {
        streamed += n;
        ++pieces;
    });
    EXPECT_EQ(200000u, streamed);
    EXPECT_GT(pieces, 1u) << "delivered in pieces, not held whole";
    ASSERT_EQ(Event::EndElement, r.next());
    ASSERT_EQ(Event::StartElement, r.next()); // c
    EXPECT_EQ("c", r.name());
    ASSERT_EQ(Event::Text, r.next());
    EXPECT_EQ(Event::EndElement, r.next()) << "unread text is skipped";
}

TEST(XmlReader, AnElementWhoseEndIsKnownIsSteppedOver) {
    const std::string xml = "<a><b>" + std::string(100000, 'z') + "</b><c>y</c></a>";
    TempFile file(xml);
    notes::ByteSource src;
    ASSERT_TRUE(src.open(file.path()));
    XmlReader r(src);
    ASSERT_EQ(Event::StartElement, r.next()); // a
    ASSERT_EQ(Event::StartElement, r.next()); // b
    const uint64_t end = xml.find("<c>");
    r.skipElementTo(end);
    EXPECT_EQ(1u, r.depth());
    ASSERT_EQ(Event::StartElement, r.next());
    EXPECT_EQ("c", r.name());
    ASSERT_EQ(Event::Text, r.next());
    EXPECT_EQ("y", r.text(10));
    ASSERT_EQ(Event::EndElement, r.next());
    ASSERT_EQ(Event::EndElement, r.next());
    EXPECT_EQ("a", r.name());
}

TEST(XmlReader, MalformedInputGivesAnErrorWithItsOffset) {
    EXPECT_NE(std::string::npos, errorOf("<a><b></a>").find("does not match")) << errorOf("<a><b></a>");
    EXPECT_NE(std::string::npos, errorOf("<a>&nbsp;</a>").find("unknown entity"));
    EXPECT_NE(std::string::npos, errorOf("<a>&#xD800;</a>").find("invalid character"));
    EXPECT_NE(std::string::npos, errorOf("<a>text").find("end of file"));
    EXPECT_NE(std::string::npos, errorOf("junk<a/>").find("outside the root"));
    EXPECT_NE(std::string::npos, errorOf("<a/><b/>").find("second root"));
    EXPECT_NE(std::string::npos, errorOf("<a x=1/>").find("quotes"));
    EXPECT_NE(std::string::npos, errorOf("").find("no element"));
    EXPECT_NE(std::string::npos, errorOf("<a><!-- open").find("end of file"));
    EXPECT_NE(std::string::npos, errorOf("<a><![CDATA[ open").find("end of file"));
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<d>";
    EXPECT_NE(std::string::npos, errorOf(deep).find("too deeply"));
    // The offset names the place of the fault.
    EXPECT_NE(std::string::npos, errorOf("<abc></abd>").find("at byte 11")) << errorOf("<abc></abd>");
}
