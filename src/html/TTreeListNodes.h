#pragma once
// The element tree of one parse: nodes in document order under a root named "TopParent".

#include "html/TUITagElement.h"

#include <deque>
#include <string>
#include <vector>

namespace quill {

class TTreeListNodes;

class TTreeListNode {
public:
    TTreeListNode(const TTreeListNodes* owner, TTreeListNode* parent, TUITagElement* element)
        : m_owner(owner), m_parent(parent), m_element(element)
    {
    }
    TTreeListNode(const TTreeListNode&) = delete;
    TTreeListNode& operator=(const TTreeListNode&) = delete;

    std::size_t count() const { return m_children.size(); }
    // Child `index` (0-based), or null past the last.
    const TTreeListNode* item(std::size_t index) const
    {
        return index < m_children.size() ? m_children[index] : nullptr;
    }
    // The element's key; "TopParent" for the root.
    const std::string& name() const;
    const TUITagElement* element() const { return m_element; }
    const TTreeListNode* parent() const { return m_parent; }
    const TTreeListNodes* owner() const { return m_owner; }

    // The walk cursor, one per node: First rewinds it, Next steps it; null past the last child.
    const TTreeListNode* First() const
    {
        m_cursor = 0;
        return item(0);
    }
    const TTreeListNode* Next() const { return item(++m_cursor); }

private:
    friend class TTreeListNodes;

    const TTreeListNodes* m_owner;
    TTreeListNode* m_parent;
    TUITagElement* m_element;
    std::vector<TTreeListNode*> m_children;
    mutable std::size_t m_cursor = 0;
};

class TTreeListNodes {
public:
    TTreeListNodes() { m_nodes.emplace_back(this, nullptr, nullptr); }
    TTreeListNodes(const TTreeListNodes&) = delete;
    TTreeListNodes& operator=(const TTreeListNodes&) = delete;

    TTreeListNode& root() { return m_nodes.front(); }
    const TTreeListNode& root() const { return m_nodes.front(); }
    // Every node, the root first, in the order they were added.
    std::size_t size() const { return m_nodes.size(); }

    // Appends a node for `element` as the last child of `parent` and records it on the element.
    TTreeListNode& add(TTreeListNode& parent, TUITagElement& element)
    {
        TTreeListNode& node = m_nodes.emplace_back(this, &parent, &element);
        parent.m_children.push_back(&node);
        element.node = &node;
        return node;
    }

private:
    // Held flat so that tearing down a deep tree needs no recursion.
    std::deque<TTreeListNode> m_nodes;
};

inline const std::string& TTreeListNode::name() const
{
    static const std::string root = "TopParent";
    return m_element ? m_element->name : root;
}

} // namespace quill
