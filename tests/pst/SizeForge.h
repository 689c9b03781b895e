// A store brought to many gigabytes without writing them: spans are added
// with every bit of their allocation maps set (the file stays sparse), the
// last `freeSpans` of them left free. What the store held stays as it was.
#pragma once
#include "File.h"
#include "Header.h"
#include "Ndb.h"

#include <algorithm>
#include <string>

// Grows the store by whole spans while they end at or before `size`;
// returns the file's new end.
inline uint64_t growStoreTo(const std::string& path, uint64_t size, size_t freeSpans) {
    pst::File file(path, pst::File::Mode::ReadWrite);
    pst::Header h = pst::Header::parse(file.read(0, std::min<uint64_t>(file.size(), pst::kUnicodeFormat.headerSize)));
    const pst::FileFormat& f = *h.format;
    const uint64_t first = (h.lastAMap - pst::kFirstAMap) / pst::kAMapSpan + 1;
    const uint64_t last = (size - pst::kFirstAMap) / pst::kAMapSpan - 1; // the last whole span
    for (uint64_t span = first; span <= last; ++span) {
        // The span's own map pages, as the engine lays them out.
        std::vector<uint8_t> types{pst::kPageAMap};
        if (pst::spanHasPMap(span))
            types.push_back(pst::kPagePMap);
        if (pst::spanHasFMap(span))
            types.push_back(pst::kPageFMap);
        if (pst::spanHasFPMap(span))
            types.push_back(pst::kPageFPMap);
        pst::Bytes bits(pst::kAMapBytes, 0xFF);
        if (span + freeSpans > last) {
            std::fill(bits.begin() + static_cast<std::ptrdiff_t>(types.size()), bits.end(), 0);
            h.amapFree += pst::kAMapSpan - types.size() * pst::kPageSize;
        }
        const uint64_t start = pst::kFirstAMap + span * pst::kAMapSpan;
        const pst::Bytes full(pst::kAMapBytes, 0xFF);
        for (size_t i = 0; i < types.size(); ++i) {
            // The AMap says what is free; the other maps are all set.
            const pst::Bytes& pageBits = i == 0 ? bits : full;
            pst::Bytes data(f.pageData, 0);
            std::copy(pageBits.begin(), pageBits.end(), data.begin() + static_cast<std::ptrdiff_t>(f.amapBits));
            const uint64_t at = start + i * pst::kPageSize;
            file.write(at, pst::sealPage(f, data, types[i], 0, at));
        }
        h.lastAMap = start;
        h.fileEof = start + pst::kAMapSpan;
    }
    file.write(h.fileEof - 1, pst::Bytes(1, 0));
    file.sync();
    file.write(0, h.serialize());
    file.sync();
    return h.fileEof;
}

// An ANSI store at the edge of its format's 2 GB.
inline uint64_t growAnsiToItsLimit(const std::string& path, size_t freeSpans) {
    {
        pst::File file(path, pst::File::Mode::Read);
        if (!pst::Header::parse(file.read(0, pst::kAnsiFormat.headerSize)).format->ansi)
            throw pst::Error(pst::ErrorKind::Invalid, "not an ANSI store");
    }
    return growStoreTo(path, pst::kAnsiFormat.maxFileSize, freeSpans);
}
