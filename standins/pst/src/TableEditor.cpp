#include "TableEditor.h"

#include <algorithm>

namespace pst {

TableEditor::TableEditor(Ndb& ndb, uint32_t tableNid)
    : ndb_(ndb), nid_(tableNid), entry_([&] {
          std::optional<NodeEntry> e = ndb.findNode(tableNid);
          if (!e)
              throw Error(ErrorKind::NotFound, "no table with the node id " + std::to_string(tableNid));
          return *e;
      }()),
      heap_(ndb, entry_.bidData) {
    subnodes_ = ndb.readSubnodes(entry_.bidSub);
    if (heap_.clientSignature() != kClientTable)
        corrupt("a table context of another kind");
    infoHid_ = heap_.userRoot();
    info_ = parseTableInfo(heap_.item(infoHid_));
    index_.emplace(heap_, info_.rowIndex);
    if (info_.rows && !isHid(info_.rows)) {
        auto it = subnodes_.find(info_.rows);
        if (it == subnodes_.end())
            corrupt("a table's rows in a subnode that does not exist");
        matrix_.emplace(ndb, it->second.bidData);
    }
}

uint32_t TableEditor::storeValue(const Bytes& value) {
    const uint32_t hnid = storeCellValue(heap_, local_, value);
    subnodesChanged_ = subnodesChanged_ || !isHid(hnid);
    return hnid;
}

void TableEditor::freeValue(uint32_t hnid) {
    if (!hnid)
        return;
    if (isHid(hnid)) {
        heap_.free(hnid);
    } else if (subnodes_.erase(hnid)) {
        subnodesChanged_ = true;
    }
}

Bytes TableEditor::encodeRow(uint32_t rowId, const Properties& cells) {
    return encodeTableRow(info_, rowId, cells, [&](const Bytes& value) { return storeValue(value); });
}

uint32_t TableEditor::matrixRows() {
    if (!info_.rows)
        return 0;
    if (isHid(info_.rows))
        return static_cast<uint32_t>(heap_.itemSize(info_.rows) / rowSize());
    // Every block but the last holds as many rows as fit.
    const size_t n = matrix_->size();
    if (n == 0)
        return 0;
    return static_cast<uint32_t>((n - 1) * rowsPerBlock(ndb_.format(), rowSize()) + matrix_->blockSize(n - 1) / rowSize());
}

void TableEditor::writeInfo() {
    if (!heap_.replace(infoHid_, tableInfoBytes(info_)))
        corrupt("a table's description does not fit its heap block");
}

void TableEditor::appendToMatrix(const Bytes& row) {
    if (!info_.rows) {
        info_.rows = heap_.add(row);
        writeInfo();
        return;
    }
    if (isHid(info_.rows)) {
        Bytes all = heap_.item(info_.rows);
        appendBytes(all, row);
        if (all.size() > kMaxHeapItem) {
            moveMatrixToSubnode(all);
        } else if (!heap_.replace(info_.rows, all)) {
            const uint32_t moved = heap_.add(all);
            heap_.free(info_.rows);
            info_.rows = moved;
            writeInfo();
        }
        return;
    }
    const size_t n = matrix_->size();
    const size_t perBlock = rowsPerBlock(ndb_.format(), rowSize());
    if (n && matrix_->blockSize(n - 1) / rowSize() < perBlock) {
        Bytes last = matrix_->get(n - 1);
        last.resize(matrix_->blockSize(n - 1) / rowSize() * rowSize());
        appendBytes(last, row);
        matrix_->set(n - 1, std::move(last));
        return;
    }
    // The last block is full: it becomes a whole block, and the row starts
    // a new one.
    if (n && matrix_->blockSize(n - 1) != ndb_.format().maxBlockData()) {
        Bytes full = matrix_->get(n - 1);
        full.resize(ndb_.format().maxBlockData(), 0);
        matrix_->set(n - 1, std::move(full));
    }
    matrix_->append(row);
}

void TableEditor::moveMatrixToSubnode(const Bytes& rows) {
    // Too many rows for the heap: they move to a subnode of their own.
    heap_.free(info_.rows);
    info_.rows = local_.place(ndb_.writeDataBlocks(rowMatrixBlocks(ndb_.format(), rows, rowSize())));
    subnodesChanged_ = true;
    writeInfo();
    matrix_.emplace(ndb_, subnodes_[info_.rows].bidData);
}

Bytes TableEditor::matrixRow(uint32_t index) {
    if (isHid(info_.rows))
        return slice(heap_.item(info_.rows), static_cast<size_t>(index) * rowSize(), rowSize());
    const size_t perBlock = rowsPerBlock(ndb_.format(), rowSize());
    return slice(matrix_->get(index / perBlock), (index % perBlock) * rowSize(), rowSize());
}

void TableEditor::setMatrixRow(uint32_t index, const Bytes& row) {
    if (isHid(info_.rows)) {
        Bytes all = heap_.item(info_.rows);
        std::copy(row.begin(), row.end(), all.begin() + static_cast<std::ptrdiff_t>(index) * rowSize());
        if (!heap_.replace(info_.rows, all))
            corrupt("a table's rows do not fit their heap block");
        return;
    }
    const size_t perBlock = rowsPerBlock(ndb_.format(), rowSize());
    Bytes block = matrix_->get(index / perBlock);
    std::copy(row.begin(), row.end(), block.begin() + static_cast<std::ptrdiff_t>((index % perBlock) * rowSize()));
    matrix_->set(index / perBlock, std::move(block));
}

void TableEditor::appendRow(uint32_t rowId, const Properties& cells) {
    // The row's index record and its place first, its values after them:
    // the first row of a table lays out its heap as Outlook does.
    const uint32_t index = matrixRows();
    index_->insert(rowId, index);
    appendToMatrix(Bytes(rowSize(), 0));
    setMatrixRow(index, encodeRow(rowId, cells));
}

bool TableEditor::updateRow(uint32_t rowId, const Properties& cells) {
    std::optional<uint32_t> index = index_->find(rowId);
    if (!index)
        return false;
    freeRowValues(matrixRow(*index));
    setMatrixRow(*index, encodeRow(rowId, cells));
    return true;
}

std::optional<Properties> TableEditor::rowCells(uint32_t rowId) {
    std::optional<uint32_t> index = index_->find(rowId);
    if (!index)
        return std::nullopt;
    const Bytes row = matrixRow(*index);
    Properties cells;
    auto read = [&](uint32_t hnid) { return isHid(hnid) ? heap_.item(hnid) : subnodeValue(ndb_, subnodes_, hnid); };
    for (const Column& c : info_.columns) {
        if (!hasCell(row, info_, c))
            continue;
        StoredValue v = cellValue(row, c, read);
        cells[c.tag] = Value{v.type, std::move(v.bytes)};
    }
    return cells;
}

void TableEditor::freeRowValues(const Bytes& row) {
    for (const Column& c : info_.columns)
        if (hasCell(row, info_, c) && !cellHoldsValue(c) && c.size == 4)
            freeValue(u32(row, c.offset));
}

bool TableEditor::removeRow(uint32_t rowId) {
    std::optional<uint32_t> index = index_->find(rowId);
    if (!index)
        return false;
    const uint32_t last = matrixRows() - 1;
    if (*index > last)
        corrupt("a table's index names a row it does not have");
    freeRowValues(matrixRow(*index));
    if (*index != last) {
        const Bytes moved = matrixRow(last);
        auto idColumn = std::find_if(info_.columns.begin(), info_.columns.end(),
                                     [](const Column& c) { return c.tag == kTagLtpRowId && c.size >= 4; });
        if (idColumn == info_.columns.end())
            corrupt("a table without its rows' ids");
        const uint32_t movedId = u32(moved, idColumn->offset);
        setMatrixRow(*index, moved);
        index_->insert(movedId, *index); // its record now names the new place
    }
    index_->remove(rowId);
    dropLastMatrixRow();
    return true;
}

void TableEditor::dropLastMatrixRow() {
    if (isHid(info_.rows)) {
        Bytes all = heap_.item(info_.rows);
        all.resize(all.size() - rowSize());
        if (all.empty()) {
            heap_.free(info_.rows);
            info_.rows = 0;
            writeInfo();
        } else {
            heap_.replace(info_.rows, all);
        }
        return;
    }
    const size_t n = matrix_->size();
    const size_t rows = matrix_->blockSize(n - 1) / rowSize();
    if (rows > 1) {
        Bytes block = matrix_->get(n - 1);
        block.resize((rows - 1) * rowSize());
        matrix_->set(n - 1, std::move(block));
    } else if (n > 1) {
        // The block before becomes the last: its rows without the room
        // after them.
        matrix_->removeLast();
        Bytes block = matrix_->get(n - 2);
        block.resize(rowsPerBlock(ndb_.format(), rowSize()) * rowSize());
        matrix_->set(n - 2, std::move(block));
    } else {
        // The last row of a matrix of its own: the subnode goes, and the
        // old list of subnodes lets go of its data when it is replaced.
        subnodes_.erase(info_.rows);
        subnodesChanged_ = true;
        matrix_.reset();
        info_.rows = 0;
        writeInfo();
    }
}

void TableEditor::commit() {
    if (matrix_ && matrix_->changed()) {
        // The subnode list's entry names the new tree; its old tree has
        // been let go by the list of blocks already.
        subnodes_[info_.rows].bidData = matrix_->write();
        subnodesChanged_ = true;
        matrixReplaced_.insert(info_.rows);
    }
    if (!heap_.changed() && !subnodesChanged_)
        return;
    const uint64_t bidData = heap_.changed() ? heap_.write() : entry_.bidData;
    uint64_t bidSub = entry_.bidSub;
    if (subnodesChanged_) {
        // Entries kept as they were gain the new list as a holder.
        Subnodes old = ndb_.readSubnodes(entry_.bidSub);
        for (const auto& kv : subnodes_) {
            auto was = old.find(kv.first);
            if (was == old.end())
                continue;
            if (matrixReplaced_.count(kv.first)) {
                // Its old data is gone already; the old list must not let
                // go of it again when it goes.
                continue;
            }
            if (was->second.bidData != kv.second.bidData || was->second.bidSub != kv.second.bidSub)
                continue;
            if (kv.second.bidData)
                ndb_.addRef(kv.second.bidData);
            if (kv.second.bidSub)
                ndb_.addRef(kv.second.bidSub);
        }
        bidSub = ndb_.writeSubnodes(subnodes_);
    }
    ndb_.putNode({nid_, bidData, bidSub, entry_.nidParent});
    // The heap's old tree was let go as the new one was written; the old
    // subnode list goes now, keeping what the new list holds.
    if (bidSub != entry_.bidSub && entry_.bidSub) {
        if (matrixReplaced_.empty()) {
            ndb_.release(entry_.bidSub);
        } else {
            // The replaced matrix's old data is already gone: let go of the
            // old list alone and of what else it held.
            Subnodes old = ndb_.readSubnodes(entry_.bidSub);
            ndb_.releaseShallow(entry_.bidSub);
            for (const auto& kv : old) {
                if (matrixReplaced_.count(kv.first))
                    continue;
                if (kv.second.bidData)
                    ndb_.release(kv.second.bidData);
                if (kv.second.bidSub)
                    ndb_.release(kv.second.bidSub);
            }
        }
    }
    matrixReplaced_.clear();
    entry_.bidData = bidData;
    entry_.bidSub = bidSub;
    subnodesChanged_ = false;
}

} // namespace pst
