// The results of the main window's last pane layout pass, one block per
// program, and the control table's entries that other modules read. The
// layout pass itself fills the block; until it has run, every field is 0.
//
// UI thread only.
#pragma once

#include <cstdint>

// Entries of a layout control table (control ids by role; 0 = absent) that
// the keyboard module reads: the base ids of the two button rows.
enum PaneControlEntry : int {
  kPaneFirstButtonRow = 5,
  kPaneSecondButtonRow = 8,
};

struct PaneLayoutBlock {
  // The window rectangle was wider than high at the last pass.
  uint8_t landscape;
};

// The program's block (zero-filled at start).
PaneLayoutBlock* GetPaneLayoutBlock();
