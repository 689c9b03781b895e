// How a PST's nodes are laid out, data aside: for every heap its
// allocations in order and what each one is, its B-tree's parameters, a
// table's columns, and the shape of the data and subnode trees. What the
// engine writes is held against what Outlook writes with it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pst {

struct HeapItemLayout {
    uint32_t hid = 0;
    size_t size = 0;
    // "bth" (a B-tree's header), "bth-index", "bth-leaf", "tcinfo", "rows",
    // "value", "empty", or "item" in heaps of other kinds.
    std::string kind;
};

struct NodeLayout {
    std::string id;   // "0x200024", or for a subnode "0x200024/0x692"
    std::string role; // "store", "name map", "folder", "message", "contents table", "recipients", ...
    std::string data; // the data tree: "none", "block", "xblock(N)", "xxblock(N)"
    std::string subnodes; // "none", "sl(N)", "si(N)"
    uint8_t client = 0;   // the heap's client signature; 0 when the data is no heap
    std::vector<HeapItemLayout> items;
    std::vector<size_t> blockSizes; // the heap's blocks, in bytes
    size_t wholeBlock = 0;          // a whole block's bytes in the file's format
    std::string bth;     // the B-tree: key and data sizes, index levels
    std::string columns; // a table's columns: tag@offset/size#bit
    std::string error;   // what could not be read

    // The allocation kinds in order, each run of values (and empty items)
    // as one "values": what the layout is when the data is left aside.
    std::string signature() const;
    // Whether every heap block but the last is as long as a block can be.
    bool wholeBlocks() const;
};

// Every node of the file and its subnodes, in node id order.
std::vector<NodeLayout> describeLayout(const std::string& path);
// One node as `pstdump --layout` prints it.
std::string formatLayout(const NodeLayout& node);

} // namespace pst
