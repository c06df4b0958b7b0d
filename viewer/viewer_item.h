// One item of the grid viewer: its owner, its drawing state and its wish to leave the list.
#pragma once

#include <cstdint>

class TCustomItemViewer;

class TViewerItem {
  public:
    enum State : unsigned { Selected = 1u << 0, Hot = 1u << 1 };

    // The owner is borrowed; it owns the item through its item list.
    explicit TViewerItem(TCustomItemViewer* owner);
    virtual ~TViewerItem();
    TViewerItem(const TViewerItem&) = delete;
    TViewerItem& operator=(const TViewerItem&) = delete;

    TCustomItemViewer* Owner() const { return m_owner; }

    unsigned State() const { return m_state; }
    bool IsSelected() const { return (m_state & Selected) != 0; }
    // Sets or clears the given states; a real change is reported to the owner, which repaints the cell.
    void SetState(unsigned state, bool on);

    // Set once the item has asked to be removed; painting then skips it until the request is handled.
    bool Deleting() const { return m_deleting; }

    // Number unique within the process, so a posted request never names a newer item at the same address.
    std::uint64_t Serial() const { return m_serial; }

    // Whether the item has a file to read its picture from again.
    virtual bool HasFileName() const { return false; }
    // Frees what the item holds for drawing (its picture); it is made again when the cell is drawn.
    virtual void GiveUpPicture() {}

  protected:
    // Marks the item and posts a remove-item request to the owner, handled later on the same thread.
    void RequestRemoval();
    // Tells the owner that the item's look changed.
    void Changed();

  private:
    TCustomItemViewer* m_owner;
    unsigned m_state = 0;
    bool m_deleting = false;
    std::uint64_t m_serial;
};
