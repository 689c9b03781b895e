#include "XmlReader.h"

#include "Lmbcs.h"

#include <cstring>

// SSE2 where the compiler targets it (every 64-bit x86 does).
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TW_SSE2 1
#endif

#ifdef TW_SSE2
#include <emmintrin.h>
#ifdef _MSC_VER
#include <intrin.h>
#endif
#endif

namespace notes {

namespace {

constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxName = 256;
constexpr size_t kMaxAttributeValue = 1 << 20;

bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isNameChar(int c) {
    return c > 0x20 && c != '<' && c != '>' && c != '/' && c != '=' && c != '"' && c != '\'' && c != '&' &&
           c != '?' && c != '!';
}

} // namespace

XmlReader::XmlReader(ByteSource& source) : in_(source) {}

void XmlReader::fail(const std::string& what) const { throw XmlError(in_.position(), what); }

int XmlReader::get() {
    int c = in_.get();
    if (c < 0) {
        if (in_.failed())
            fail("read error");
        fail("unexpected end of file");
    }
    return c;
}

void XmlReader::expect(char c) {
    if (get() != static_cast<unsigned char>(c))
        fail(std::string("expected '") + c + "'");
}

void XmlReader::skipSpace() {
    while (isSpace(in_.peek()))
        in_.get();
}

std::string XmlReader::readName() {
    std::string name;
    while (isNameChar(in_.peek())) {
        name += static_cast<char>(in_.get());
        if (name.size() > kMaxName)
            fail("name too long");
    }
    if (name.empty())
        fail("expected a name");
    return name;
}

std::string XmlReader::attribute(const char* name) const {
    for (const XmlAttribute& a : attributes_)
        if (a.name == name)
            return a.value;
    return {};
}

bool XmlReader::hasAttribute(const char* name) const {
    for (const XmlAttribute& a : attributes_)
        if (a.name == name)
            return true;
    return false;
}

void XmlReader::skipUntil(const char* terminator) {
    const size_t n = std::strlen(terminator);
    size_t matched = 0;
    while (matched < n) {
        int c = get();
        if (c == static_cast<unsigned char>(terminator[matched]))
            ++matched;
        else
            matched = c == static_cast<unsigned char>(terminator[0]) ? 1 : 0;
    }
}

void XmlReader::skipDoctype() {
    // <!DOCTYPE name ... [ internal subset ] >, quotes respected.
    int bracket = 0;
    for (;;) {
        int c = get();
        if (c == '"' || c == '\'') {
            int q = c;
            while (get() != q) {
            }
        } else if (c == '[') {
            ++bracket;
        } else if (c == ']') {
            if (bracket > 0)
                --bracket;
        } else if (c == '>' && bracket == 0) {
            return;
        }
    }
}

void XmlReader::readReference(std::string& out) {
    // At the character after '&'.
    std::string ref;
    for (;;) {
        int c = get();
        if (c == ';')
            break;
        ref += static_cast<char>(c);
        if (ref.size() > 12)
            fail("unterminated entity reference");
    }
    if (ref == "lt")
        out += '<';
    else if (ref == "gt")
        out += '>';
    else if (ref == "amp")
        out += '&';
    else if (ref == "apos")
        out += '\'';
    else if (ref == "quot")
        out += '"';
    else if (ref.size() >= 2 && ref[0] == '#') {
        bool hex = ref[1] == 'x' || ref[1] == 'X';
        size_t start = hex ? 2 : 1;
        if (start >= ref.size())
            fail("empty character reference");
        uint32_t cp = 0;
        for (size_t i = start; i < ref.size(); ++i) {
            char d = ref[i];
            uint32_t v;
            if (d >= '0' && d <= '9')
                v = d - '0';
            else if (hex && d >= 'a' && d <= 'f')
                v = d - 'a' + 10;
            else if (hex && d >= 'A' && d <= 'F')
                v = d - 'A' + 10;
            else
                fail("bad character reference &" + ref + ";");
            cp = cp * (hex ? 16 : 10) + v;
            if (cp > 0x10FFFF)
                fail("character reference out of range");
        }
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
            fail("character reference to an invalid character");
        appendUtf8(out, cp);
    } else {
        fail("unknown entity &" + ref + ";");
    }
}

void XmlReader::readAttributes() {
    attributes_.clear();
    for (;;) {
        skipSpace();
        int c = in_.peek();
        if (c == '>' || c == '/' || c < 0)
            return;
        XmlAttribute a;
        a.name = readName();
        skipSpace();
        expect('=');
        skipSpace();
        int quote = get();
        if (quote != '"' && quote != '\'')
            fail("attribute value without quotes");
        for (;;) {
            int v = get();
            if (v == quote)
                break;
            if (v == '<')
                fail("'<' in an attribute value");
            if (v == '&')
                readReference(a.value);
            else
                a.value += static_cast<char>(v);
            if (a.value.size() > kMaxAttributeValue)
                fail("attribute value too long");
        }
        attributes_.push_back(std::move(a));
    }
}

void XmlReader::readTag() {
    // At the character after '<', which starts a name.
    name_ = readName();
    readAttributes();
    int c = get();
    if (c == '/') {
        expect('>');
        pendingEnd_ = true;
    } else if (c != '>') {
        fail("expected '>'");
    }
    if (open_.size() >= kMaxDepth)
        fail("elements nested too deeply");
    open_.push_back(name_);
    seenRoot_ = true;
}

void XmlReader::readEndTag() {
    // At the character after "</".
    std::string name = readName();
    skipSpace();
    expect('>');
    if (open_.empty() || open_.back() != name)
        fail("end tag </" + name + "> does not match" + (open_.empty() ? std::string() : " <" + open_.back() + ">"));
    open_.pop_back();
    name_ = name;
}

XmlReader::Event XmlReader::next() {
    if (inText_)
        skipText();
    if (pendingEnd_) {
        pendingEnd_ = false;
        name_ = open_.back();
        open_.pop_back();
        return Event::EndElement;
    }
    for (;;) {
        int c = in_.peek();
        if (c < 0) {
            if (in_.failed())
                fail("read error");
            if (!open_.empty())
                fail("unexpected end of file inside <" + open_.back() + ">");
            if (!seenRoot_)
                fail("no element in the file");
            return Event::End;
        }
        if (c == 0xEF && !seenRoot_ && open_.empty()) {
            // A UTF-8 byte-order mark before the first element.
            in_.get();
            if (get() != 0xBB || get() != 0xBF)
                fail("text outside the root element");
            continue;
        }
        if (c != '<') {
            if (open_.empty()) {
                // Outside the root only blanks may stand.
                if (!isSpace(c))
                    fail("text outside the root element");
                in_.get();
                continue;
            }
            inText_ = true;
            return Event::Text;
        }
        uint64_t at = in_.position();
        in_.get();
        int d = in_.peek();
        if (d == '?') {
            skipUntil("?>");
            continue;
        }
        if (d == '!') {
            in_.get();
            if (in_.peek() == '-') {
                in_.get();
                expect('-');
                skipUntil("-->");
                continue;
            }
            if (in_.peek() == '[') {
                // CDATA is character data: hand it over as text.
                if (open_.empty())
                    fail("CDATA outside the root element");
                in_.seek(at);
                inText_ = true;
                return Event::Text;
            }
            std::string word;
            while (word.size() < 7 && in_.peek() >= 'A' && in_.peek() <= 'Z')
                word += static_cast<char>(in_.get());
            if (word != "DOCTYPE")
                fail("unknown markup <!" + word);
            skipDoctype();
            continue;
        }
        if (d == '/') {
            in_.get();
            readEndTag();
            return Event::EndElement;
        }
        if (open_.empty() && seenRoot_)
            fail("a second root element");
        elementOffset_ = at;
        readTag();
        return Event::StartElement;
    }
}

namespace {

#ifdef TW_SSE2
// The place of the lowest bit set (`bits` is not 0).
int lowestBit(unsigned bits) {
#ifdef _MSC_VER
    unsigned long at = 0;
    _BitScanForward(&at, bits);
    return static_cast<int>(at);
#else
    return __builtin_ctz(bits);
#endif
}
#endif

// How many bytes from `p` on are neither '<' nor '&': sixteen or eight at a
// time (an attachment's data is hundreds of megabytes of such bytes, and
// the C library's search is a byte at a time on some systems).
size_t plainRun(const char* p, size_t n) {
    size_t i = 0;
#ifdef TW_SSE2
    const __m128i less = _mm_set1_epi8('<'), amp = _mm_set1_epi8('&');
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, less), _mm_cmpeq_epi8(bytes, amp)));
        if (hits)
            return i + static_cast<size_t>(lowestBit(static_cast<unsigned>(hits)));
    }
#else
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    constexpr uint64_t kLess = kOnes * '<', kAmp = kOnes * '&';
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        const uint64_t a = word ^ kLess, b = word ^ kAmp;
        // A byte of `a` or `b` is zero where the word holds one of the two.
        if (((a - kOnes) & ~a & kHighs) | ((b - kOnes) & ~b & kHighs))
            break;
    }
#endif
    while (i < n && p[i] != '<' && p[i] != '&')
        ++i;
    return i;
}

} // namespace

void XmlReader::readRun(const std::function<void(const char*, size_t)>& sink) {
    // Character data up to the next tag; CDATA sections and references are
    // decoded, comments inside the run end it.
    std::string piece;
    auto flush = [&] {
        if (!piece.empty()) {
            if (sink)
                sink(piece.data(), piece.size());
            piece.clear();
        }
    };
    while (inText_) {
        size_t n = in_.available();
        if (n == 0) {
            if (in_.failed())
                fail("read error");
            fail("unexpected end of file inside <" + open_.back() + ">");
        }
        const char* p = in_.data();
        // The plain bytes up to the next '<' or '&'.
        const size_t plain = plainRun(p, n);
        if (plain > 0) {
            if (sink) {
                flush();
                sink(p, plain);
            }
            in_.consume(plain);
            continue;
        }
        if (p[0] == '&') {
            in_.consume(1);
            readReference(piece);
            if (piece.size() > 4096)
                flush();
            continue;
        }
        // '<': CDATA continues the run, anything else ends it.
        uint64_t at = in_.position();
        in_.get();
        if (in_.peek() == '!') {
            in_.get();
            if (in_.peek() == '[') {
                const char* open = "[CDATA[";
                for (const char* q = open; *q; ++q)
                    expect(*q);
                // Up to "]]>", delivered as it comes.
                int brackets = 0;
                for (;;) {
                    int c = get();
                    if (c == ']') {
                        ++brackets;
                        continue;
                    }
                    if (c == '>' && brackets >= 2) {
                        piece.append(static_cast<size_t>(brackets - 2), ']');
                        break;
                    }
                    piece.append(static_cast<size_t>(brackets), ']');
                    brackets = 0;
                    piece += static_cast<char>(c);
                    if (piece.size() >= 4096)
                        flush();
                }
                continue;
            }
        }
        in_.seek(at);
        inText_ = false;
    }
    flush();
}

std::string XmlReader::text(size_t limit) {
    std::string out;
    readRun([&](const char* p, size_t n) {
        if (out.size() + n > limit)
            fail("text too long");
        out.append(p, n);
    });
    return out;
}

void XmlReader::skipText() { readRun(nullptr); }

void XmlReader::streamText(const std::function<void(const char*, size_t)>& sink) { readRun(sink); }

void XmlReader::skipElementTo(uint64_t end) {
    if (pendingEnd_ || open_.empty() || !in_.seek(end)) {
        skipElement();
        return;
    }
    inText_ = false;
    name_ = open_.back();
    open_.pop_back();
}

void XmlReader::skipElement() {
    size_t depth = open_.size();
    while (open_.size() >= depth) {
        if (next() == Event::End)
            return;
    }
}

std::string XmlReader::elementText(size_t limit) {
    std::string out;
    size_t depth = open_.size();
    for (;;) {
        Event e = next();
        if (e == Event::Text) {
            std::string t = text(limit - out.size());
            out += t;
        } else if (e == Event::EndElement && open_.size() < depth) {
            return out;
        } else if (e == Event::End) {
            return out;
        }
    }
}

} // namespace notes
