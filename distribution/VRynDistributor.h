#pragma once
// An element of the distributor chain: hangs below a parent (the top or
// another element) and sees the same data as every other layer of the chain.

#include "VRynGeneralDistributor.h"

class VRynDistributor : public VRynGeneralDistributor {
    Q_OBJECT
public:
    explicit VRynDistributor(QObject *owner = nullptr);
    ~VRynDistributor() override;

    VRynTopDistributor *TopDistributor() override;
    VRynGeneralDistributor *ParentDistributor() const override { return m_parent; }

    VRynGeneralDistributor *Distributor() const { return m_parent; }
    // Moves the element (with its sub-chain) below parent. A parent that
    // would close a loop leaves the element detached (Distributor() nullptr).
    void SetDistributor(VRynGeneralDistributor *parent);

    bool AutomaticConnect() const { return m_automaticConnect; }
    void SetAutomaticConnect(bool on) { m_automaticConnect = on; }

    // With AutomaticConnect and no parent yet: attaches to the first
    // VRynTopDistributor found depth first among the children of the
    // application object, then below the element's own topmost owner.
    void Loaded();

private:
    VRynGeneralDistributor *m_parent = nullptr;
    bool m_automaticConnect = true;
};
