#include "VRynDistributor.h"

#include "VRynTopDistributor.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

VRynTopDistributor *FindTopDepthFirst(QObject *root, const QObject *self)
{
    for (QObject *child : root->children()) {
        if (auto *top = qobject_cast<VRynTopDistributor *>(child); top != nullptr && top != self)
            return top;
        if (VRynTopDistributor *found = FindTopDepthFirst(child, self))
            return found;
    }
    return nullptr;
}

} // namespace

VRynDistributor::VRynDistributor(QObject *owner)
    : VRynGeneralDistributor(owner)
{
}

VRynDistributor::~VRynDistributor()
{
    BeforeDestruction();
    SetDistributor(nullptr);
}

VRynTopDistributor *VRynDistributor::TopDistributor()
{
    // The chain holds no loops, so the walk up ends.
    if (m_cachedTop == nullptr && m_parent != nullptr)
        m_cachedTop = m_parent->TopDistributor();
    return m_cachedTop;
}

void VRynDistributor::SetDistributor(VRynGeneralDistributor *parent)
{
    if (parent == m_parent)
        return;
    if (m_parent != nullptr) {
        auto &siblings = m_parent->m_children;
        auto it = std::find(siblings.begin(), siblings.end(), this);
        if (it != siblings.end()) {
            *it = siblings.back();
            siblings.pop_back();
        }
        m_parent = nullptr;
    }
    ResizeChannelRecordsInSubChain(1);
    ClearCachedTopInSubChain();
    if (parent == nullptr)
        return;
    for (VRynGeneralDistributor *ancestor = parent; ancestor != nullptr; ancestor = ancestor->ParentDistributor()) {
        if (ancestor == this)
            return; // would close a loop: stay detached
    }
    m_parent = parent;
    parent->m_children.push_back(this);
    const std::size_t channels = parent->m_data[kDirectionReceive].Channels.size();
    if (channels > 1)
        ResizeChannelRecordsInSubChain(channels);
    NotifyTickNeed(); // the sub-chain may bring armed time-outs or timer callbacks
}

void VRynDistributor::Loaded()
{
    if (!m_automaticConnect || m_parent != nullptr)
        return;
    VRynTopDistributor *found = nullptr;
    if (QCoreApplication *app = QCoreApplication::instance())
        found = FindTopDepthFirst(app, this);
    if (found == nullptr) {
        QObject *root = this;
        while (root->parent() != nullptr)
            root = root->parent();
        found = FindTopDepthFirst(root, this);
    }
    SetDistributor(found);
}
