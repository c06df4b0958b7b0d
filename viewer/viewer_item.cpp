// One item of the grid viewer.
#include "viewer_item.h"

#include "custom_item_viewer.h"

namespace {
std::uint64_t g_nextSerial = 1;  // the user-interface thread is the only one that makes items
}

TViewerItem::TViewerItem(TCustomItemViewer* owner) : m_owner(owner), m_serial(g_nextSerial++) {}

TViewerItem::~TViewerItem() = default;

void TViewerItem::SetState(unsigned state, bool on) {
    const unsigned next = on ? (m_state | state) : (m_state & ~state);
    if (next == m_state) return;
    m_state = next;
    Changed();
}

void TViewerItem::RequestRemoval() {
    if (m_deleting) return;
    m_deleting = true;
    if (m_owner) m_owner->PostRemoveItem(this);
}

void TViewerItem::Changed() {
    if (m_owner) m_owner->ItemChanged(this);
}
