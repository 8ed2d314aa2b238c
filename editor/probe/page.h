// The page protocol seen from whole-record operations: the active page of the page control can be
// stored (its OnHide handler: controls -> record) and loaded (its OnShow handler: record ->
// controls). No active page, or a page without the handler, does nothing.
#pragma once

namespace probe {

class ActivePage {
  public:
    virtual ~ActivePage() = default;
    virtual void storeActivePage() = 0;
    virtual void loadActivePage() = 0;
};

}  // namespace probe
