// What a Store holds, shared by its reading and its writing halves.
#pragma once
#include "Ltp.h"
#include "LtpWriter.h"
#include "pst/Store.h"

#include <exception>

namespace pst {

Properties toProperties(const PropertyContext& pc);
Properties toProperties(const TableContext::Row& row);
const Value* findValue(const Properties& p, uint32_t tag);
// The cells of a table row, from an object's properties: those the table
// has columns for (an 8-bit string column takes the Unicode value).
Properties rowFrom(const Properties& props, const std::vector<Column>& columns);

// Writes an attachment's node (its data streamed from its source file when
// it has one) and fills `props` with what its table row shows.
WrittenNode writeAttachment(Ndb& ndb, const NewAttachment& attachment, Properties& props);

struct Store::Impl {
    std::shared_ptr<File> file;
    std::unique_ptr<Ndb> ndb;

    NodeEntry node(uint32_t nid);
    Properties properties(uint32_t nid);
    TableContext table(uint32_t nid);

    // Writing helpers.
    // Points the node at new data and subnodes, letting the old ones go.
    void replaceNode(uint32_t nid, uint32_t parent, const WrittenNode& written);
    void writeProperties(uint32_t nid, uint32_t parent, const Properties& props);
    // Rewrites a table with `change` applied to its rows.
    void changeTable(uint32_t tableNid, const std::function<void(std::vector<TableRow>&)>& change);
    // A folder's PC properties changed: its row in the parent's hierarchy
    // table follows.
    void updateFolder(uint32_t folder, const std::function<void(Properties&)>& change);
    std::vector<uint8_t> entryId(uint32_t nid);

    // Forgets every change since the last commit: the store is read again
    // as the file has it. When that fails too, the store refuses all use.
    void discardChanges() noexcept;
    int changesUnderWay = 0;

    // Put at the start of every change: when the change fails (the disk is
    // full, the file is damaged), the store forgets all since its last
    // commit, so that no later commit can write half of the failed change.
    class Guard {
    public:
        explicit Guard(Impl& store) : store_(store), exceptions_(std::uncaught_exceptions()) {
            ++store_.changesUnderWay;
        }
        ~Guard() {
            if (--store_.changesUnderWay == 0 && std::uncaught_exceptions() > exceptions_)
                store_.discardChanges();
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        Impl& store_;
        int exceptions_;
    };
};

} // namespace pst
