#pragma once
// The element tree of one parse: nodes in document order under a root named "TopParent".

#include "html/Element.h"

#include <deque>
#include <string>
#include <vector>

namespace quill {

class ElementTree;

class ElementNode {
public:
    ElementNode(const ElementTree* owner, ElementNode* parent, Element* element)
        : m_owner(owner), m_parent(parent), m_element(element)
    {
    }
    ElementNode(const ElementNode&) = delete;
    ElementNode& operator=(const ElementNode&) = delete;

    std::size_t count() const { return m_children.size(); }
    // Child `index` (0-based), or null past the last.
    const ElementNode* item(std::size_t index) const
    {
        return index < m_children.size() ? m_children[index] : nullptr;
    }
    // The element's key; "TopParent" for the root.
    const std::string& name() const;
    const Element* element() const { return m_element; }
    const ElementNode* parent() const { return m_parent; }
    const ElementTree* owner() const { return m_owner; }

    // The walk cursor, one per node: first() rewinds it, next() steps it; null past the last child.
    const ElementNode* first() const
    {
        m_cursor = 0;
        return item(0);
    }
    const ElementNode* next() const { return item(++m_cursor); }

private:
    friend class ElementTree;

    const ElementTree* m_owner;
    ElementNode* m_parent;
    Element* m_element;
    std::vector<ElementNode*> m_children;
    mutable std::size_t m_cursor = 0;
};

class ElementTree {
public:
    ElementTree() { m_nodes.emplace_back(this, nullptr, nullptr); }
    ElementTree(const ElementTree&) = delete;
    ElementTree& operator=(const ElementTree&) = delete;

    ElementNode& root() { return m_nodes.front(); }
    const ElementNode& root() const { return m_nodes.front(); }
    // Every node, the root first, in the order they were added.
    std::size_t size() const { return m_nodes.size(); }

    // Appends a node for `element` as the last child of `parent` and records it on the element.
    ElementNode& add(ElementNode& parent, Element& element)
    {
        ElementNode& node = m_nodes.emplace_back(this, &parent, &element);
        parent.m_children.push_back(&node);
        element.node = &node;
        return node;
    }

private:
    // Held flat so that tearing down a deep tree needs no recursion.
    std::deque<ElementNode> m_nodes;
};

inline const std::string& ElementNode::name() const
{
    static const std::string root = "TopParent";
    return m_element ? m_element->name : root;
}

} // namespace quill
