// The column sets of the tables a store keeps, as Outlook's own files hold
// them: every folder's hierarchy, contents and associated contents tables,
// and every message's recipient and attachment tables, begin as copies of
// these.
#pragma once
#include "Ltp.h"

#include <vector>

namespace pst {

const std::vector<Column>& hierarchyColumns();
const std::vector<Column>& contentsColumns();
const std::vector<Column>& assocContentsColumns();
const std::vector<Column>& searchContentsColumns();
const std::vector<Column>& attachmentColumns();
const std::vector<Column>& recipientColumns();
// The receive folder table's: a message class and the folder it goes to.
const std::vector<Column>& receiveFolderColumns();
// The smaller templates of Outlook 2010's scaffold (receive folders,
// outgoing queue and three more), by node id.
const std::vector<std::pair<uint32_t, std::vector<Column>>>& otherTemplates();

} // namespace pst
