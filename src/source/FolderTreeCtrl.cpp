#include "FolderTreeCtrl.h"

#include "../framework/Text.h"
#include "../resources/resource.h"

#include <cwctype>

namespace {

enum IconIndex { kInbox, kSent, kDrafts, kAll, kTrash, kFolder, kFolderOpen, kNotes };

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

std::wstring upper(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// The normal and the selected icon of an item.
std::pair<int, int> iconsFor(const std::wstring& text) {
    const std::wstring u = upper(text);
    if (u == L"INBOX")
        return {kInbox, kInbox};
    if (u == L"SENT")
        return {kSent, kSent};
    if (u == L"DRAFTS")
        return {kDrafts, kDrafts};
    if (u == L"ALL")
        return {kAll, kAll};
    if (u == L"TRASH")
        return {kTrash, kTrash};
    if (u == L"LOTUS NOTES")
        return {kNotes, kNotes};
    return {kFolder, kFolderOpen};
}

} // namespace

CFolderTreeCtrl::~CFolderTreeCtrl() {
    if (icons_)
        ImageList_Destroy(icons_);
}

void CFolderTreeCtrl::OnAttached() {
    // Check boxes are switched on in code, before any item exists: given in
    // the template they lose states set while the dialog starts.
    LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    SetWindowLongPtrW(hwnd(), GWL_STYLE, style | TVS_CHECKBOXES);
}

void CFolderTreeCtrl::InitFolderIcons() {
    if (icons_)
        return;
    icons_ = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 8, 0);
    const int ids[] = {IDI_TREE_INBOX, IDI_TREE_SENT,   IDI_TREE_DRAFTS,      IDI_TREE_ALL,
                       IDI_TREE_TRASH, IDI_TREE_FOLDER, IDI_TREE_FOLDER_OPEN, IDI_TREE_NOTES};
    for (int id : ids) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        ImageList_AddIcon(icons_, icon);
        if (icon)
            DestroyIcon(icon);
    }
    TreeView_SetImageList(hwnd(), icons_, TVSIL_NORMAL);
}

CFolderTreeCtrl::Node* CFolderTreeCtrl::node(HTREEITEM item) const {
    if (!item || item == TVI_ROOT)
        return const_cast<Node*>(&top_);
    auto it = nodes_.find(item);
    return it == nodes_.end() ? nullptr : it->second.get();
}

HTREEITEM CFolderTreeCtrl::AddItem(HTREEITEM parentItem, const std::wstring& text) {
    Node* parent = node(parentItem);
    if (!parent)
        return nullptr;
    const bool topLevel = parent == &top_;
    std::pair<int, int> icon = iconsFor(text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = topLevel ? TVI_ROOT : parent->handle;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | (topLevel ? TVIF_CHILDREN : 0);
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.iImage = icon.first;
    insert.item.iSelectedImage = icon.second;
    insert.item.state = kUnchecked;
    insert.item.stateMask = TVIS_STATEIMAGEMASK;
    insert.item.cChildren = topLevel ? 1 : 0;
    HTREEITEM item = TreeView_InsertItem(hwnd(), &insert);
    if (!item)
        return nullptr;
    auto n = std::make_unique<Node>();
    n->handle = item;
    n->parent = parent;
    n->text = text;
    parent->children.push_back(n.get());
    parent->childByText.emplace(text, n.get());
    nodes_[item] = std::move(n);
    return item;
}

HTREEITEM CFolderTreeCtrl::AddFolderPath(const std::wstring& path) {
    Node* at = &top_;
    size_t start = 0;
    for (size_t end = path.find(L'\\'); end != std::wstring::npos; end = path.find(L'\\', start)) {
        const std::wstring component = path.substr(start, end - start);
        auto found = at->childByText.find(component);
        Node* next = found != at->childByText.end() ? found->second : node(AddItem(at->handle, component));
        if (!next)
            return nullptr;
        at = next;
        start = end + 1;
    }
    if (at == &top_)
        return nullptr;
    updateAncestors(at);
    return at->handle;
}

std::wstring CFolderTreeCtrl::GetItemPath(HTREEITEM item) const {
    std::wstring path;
    for (const Node* n = node(item); n && n != &top_; n = n->parent)
        path = n->text + L"\\" + path;
    return path;
}

bool CFolderTreeCtrl::IsChecked(HTREEITEM item) const {
    const Node* n = node(item);
    return n && n->checked;
}

std::vector<HTREEITEM> CFolderTreeCtrl::Children(HTREEITEM parent) const {
    std::vector<HTREEITEM> out;
    if (const Node* n = node(parent))
        for (const Node* c : n->children)
            out.push_back(c->handle);
    return out;
}

void CFolderTreeCtrl::setMarks(Node* n, bool checked, bool bold) {
    if (n == &top_ || (n->checked == checked && n->bold == bold))
        return;
    n->checked = checked;
    n->bold = bold;
    TreeView_SetItemState(hwnd(), n->handle, (checked ? kChecked : kUnchecked) | (bold ? TVIS_BOLD : 0),
                          TVIS_STATEIMAGEMASK | TVIS_BOLD);
}

void CFolderTreeCtrl::CheckItem(HTREEITEM item) {
    if (Node* n = node(item))
        setMarks(n, true, true);
}

void CFolderTreeCtrl::UncheckItem(HTREEITEM item) {
    if (Node* n = node(item))
        setMarks(n, false, false);
}

void CFolderTreeCtrl::UpdateAncestors(HTREEITEM item) {
    if (Node* n = node(item))
        updateAncestors(n);
}

void CFolderTreeCtrl::updateAncestors(Node* n) {
    // First the check marks (CheckItem or UncheckItem of each ancestor),
    // then the bold marks, each from the parent upward.
    for (Node* p = n->parent; p && p != &top_; p = p->parent) {
        bool all = true;
        for (const Node* c : p->children)
            if (!(all = c->checked))
                break;
        setMarks(p, all, all);
    }
    for (Node* p = n->parent; p && p != &top_; p = p->parent) {
        bool any = false;
        for (const Node* c : p->children)
            if ((any = c->bold))
                break;
        setMarks(p, p->checked, any);
    }
}

void CFolderTreeCtrl::setSubtree(Node* n, bool checked) {
    setMarks(n, checked, checked);
    for (Node* c : n->children)
        setSubtree(c, checked);
}

void CFolderTreeCtrl::toggle(Node* n) {
    setSubtree(n, !n->checked);
    updateAncestors(n);
}

void CFolderTreeCtrl::onPress(POINT at) {
    TVHITTESTINFO hit{};
    hit.pt = at;
    HTREEITEM item = TreeView_HitTest(hwnd(), &hit);
    Node* n = node(item);
    if (!item || !n)
        return;
    TreeView_SelectItem(hwnd(), item);
    SetFocus(hwnd());
    if (!(hit.flags & TVHT_ONITEMSTATEICON)) {
        TreeView_Expand(hwnd(), item, TVE_TOGGLE);
        return;
    }
    toggle(n);
}

LRESULT CFolderTreeCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: // the second press of a double click is a press too
        onPress({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_KEYDOWN:
        // The control's own Space would toggle one box without the marks
        // following it; Space does what a press on the box does.
        if (wParam == VK_SPACE) {
            if (Node* n = node(TreeView_GetSelection(hwnd())); n && n != &top_)
                toggle(n);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L' ')
            return 0;
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}
