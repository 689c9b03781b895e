#include "DxlWriter.h"

#include <cstdio>

namespace notesgen {

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Base64 of whole groups of three bytes (the caller keeps the remainder).
void encodeGroups(const std::string& in, size_t n, std::string& out, size_t& column) {
    for (size_t i = 0; i + 3 <= n; i += 3) {
        uint32_t b = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                     static_cast<unsigned char>(in[i + 2]);
        out += kAlphabet[(b >> 18) & 63];
        out += kAlphabet[(b >> 12) & 63];
        out += kAlphabet[(b >> 6) & 63];
        out += kAlphabet[b & 63];
        if ((column += 4) >= 76) {
            out += '\n';
            column = 0;
        }
    }
}
} // namespace

std::string unidOf(uint64_t n) {
    char text[40];
    std::snprintf(text, sizeof text, "%016llX%016llX", static_cast<unsigned long long>(0x7D3E11A05C2B0000ULL + n),
                  static_cast<unsigned long long>(n * 0x9E3779B97F4A7C15ULL));
    return text;
}

DxlWriter::DxlWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    put("<?xml version='1.0' encoding='utf-8'?>\n"
        "<!DOCTYPE database SYSTEM 'xmlschemas/domino_7_0.dtd'>\n"
        "<database xmlns='http://www.lotus.com/dxl' version='7.0'>\n");
}

DxlWriter::~DxlWriter() {
    if (file_)
        std::fclose(file_);
}

bool DxlWriter::finish() {
    put("</database>\n");
    bool good = ok();
    if (file_ && std::fclose(file_) != 0)
        good = false;
    file_ = nullptr;
    return good;
}

void DxlWriter::put(const std::string& s) {
    if (file_ && !failed_ && std::fwrite(s.data(), 1, s.size(), file_) != s.size())
        failed_ = true;
}

std::string DxlWriter::escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '\'': out += "&apos;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

void DxlWriter::beginDocument(const std::string& form, const std::string& unid) {
    put("<document form='" + escape(form) + "'>\n<noteinfo noteid='" + unid.substr(28) + "' unid='" + unid +
        "'/>\n");
}

void DxlWriter::endDocument() { put("</document>\n"); }

void DxlWriter::text(const std::string& name, const std::string& value) {
    put("<item name='" + escape(name) + "'><text>" + escape(value) + "</text></item>\n");
}

void DxlWriter::textList(const std::string& name, const std::vector<std::string>& values) {
    std::string s = "<item name='" + escape(name) + "'><textlist>";
    for (const std::string& v : values)
        s += "<text>" + escape(v) + "</text>";
    put(s + "</textlist></item>\n");
}

void DxlWriter::number(const std::string& name, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    put("<item name='" + escape(name) + "'><number>" + text + "</number></item>\n");
}

void DxlWriter::dateTime(const std::string& name, const std::string& dxlValue) {
    put("<item name='" + escape(name) + "'><datetime>" + dxlValue + "</datetime></item>\n");
}

void DxlWriter::dateTimeList(const std::string& name, const std::vector<std::string>& dxlValues) {
    std::string s = "<item name='" + escape(name) + "'><datetimelist>";
    for (const std::string& v : dxlValues)
        s += "<datetime>" + v + "</datetime>";
    put(s + "</datetimelist></item>\n");
}

void DxlWriter::richText(const std::string& name, const std::vector<std::string>& paragraphs) {
    std::string s = "<item name='" + escape(name) + "'><richtext>\n";
    for (const std::string& p : paragraphs)
        s += "<par def='1'>" + escape(p) + "</par>\n";
    put(s + "</richtext></item>\n");
}

void DxlWriter::attachment(const std::string& fileName, uint64_t size,
                           const std::function<void(std::string& piece, uint64_t offset)>& bytes) {
    put("<item name='$FILE' summary='true' sign='true' seal='true'><object><file hosttype='msdos' "
        "compression='none' flags='storedindoc' name='" +
        escape(fileName) + "'><created><datetime>20070301T120000,00+01</datetime></created><filedata>\n");
    std::string pending, out, piece;
    size_t column = 0;
    for (uint64_t offset = 0; offset < size;) {
        piece.clear();
        bytes(piece, offset);
        if (piece.empty())
            break;
        if (piece.size() > size - offset)
            piece.resize(static_cast<size_t>(size - offset));
        offset += piece.size();
        pending += piece;
        out.clear();
        size_t whole = pending.size() / 3 * 3;
        encodeGroups(pending, whole, out, column);
        pending.erase(0, whole);
        put(out);
    }
    // The last one or two bytes, padded.
    if (!pending.empty()) {
        uint32_t b = static_cast<unsigned char>(pending[0]) << 16;
        if (pending.size() > 1)
            b |= static_cast<unsigned char>(pending[1]) << 8;
        std::string tail;
        tail += kAlphabet[(b >> 18) & 63];
        tail += kAlphabet[(b >> 12) & 63];
        tail += pending.size() > 1 ? kAlphabet[(b >> 6) & 63] : '=';
        tail += '=';
        put(tail);
    }
    put("\n</filedata></file></object></item>\n");
}

void DxlWriter::attachment(const std::string& fileName, const std::string& contents) {
    attachment(fileName, contents.size(), [&](std::string& piece, uint64_t offset) {
        piece = contents.substr(static_cast<size_t>(offset), 65536);
    });
}

void DxlWriter::view(const std::string& name, bool folder, const std::vector<std::string>& unids) {
    std::string s = std::string("<") + (folder ? "folder" : "view") + " name='" + escape(name) + "'>\n";
    for (const std::string& u : unids)
        s += "<entry unid='" + u + "'/>\n";
    put(s + (folder ? "</folder>\n" : "</view>\n"));
}

} // namespace notesgen
