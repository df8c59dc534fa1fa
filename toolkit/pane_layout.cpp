#include "toolkit/pane_layout.h"

namespace {
PaneLayoutBlock gBlock{};
}  // namespace

PaneLayoutBlock* GetPaneLayoutBlock() { return &gBlock; }
