// The folder tree of Step 3: a tree view with check boxes whose marks
// propagate, down to every descendant and up through the ancestors; an item
// is bold when it is checked or when one of its children is bold.
//
// The tree keeps its items' texts and marks itself, and hands the control
// only what changes: asking the control about each sibling again would make
// a database of thousands of folders slow to list.
#pragma once
#include "../framework/Control.h"

#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class CFolderTreeCtrl : public tw::Control {
public:
    ~CFolderTreeCtrl() override;

    // The icon list, chosen by upper-cased item text.
    void InitFolderIcons();
    // `path` is text whose components each end with a backslash; the
    // missing levels are added, and the last item's ancestors updated.
    HTREEITEM AddFolderPath(const std::wstring& path);
    // A new last item under `parent` (null for the top level); a top-level
    // item shows its expand button at once.
    HTREEITEM AddItem(HTREEITEM parent, const std::wstring& text);
    // The texts from the top-level ancestor down to the item, each followed
    // by a backslash.
    std::wstring GetItemPath(HTREEITEM item) const;

    void CheckItem(HTREEITEM item);
    void UncheckItem(HTREEITEM item);
    void UpdateAncestors(HTREEITEM item);

    bool IsChecked(HTREEITEM item) const;
    // The items directly under `parent` (null: the top-level items), in order.
    std::vector<HTREEITEM> Children(HTREEITEM parent) const;

protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Node {
        HTREEITEM handle = nullptr;
        Node* parent = nullptr;
        std::wstring text;
        bool checked = false;
        bool bold = false;
        std::vector<Node*> children;
        std::map<std::wstring, Node*> childByText;
    };

    Node* node(HTREEITEM item) const;
    void setMarks(Node* n, bool checked, bool bold);
    void setSubtree(Node* n, bool checked);
    void updateAncestors(Node* n);
    // A press on an item's check box (or Space on the selected item).
    void toggle(Node* n);
    void onPress(POINT at);

    HIMAGELIST icons_ = nullptr;
    Node top_; // the invisible parent of the top-level items
    std::map<HTREEITEM, std::unique_ptr<Node>> nodes_;
};
