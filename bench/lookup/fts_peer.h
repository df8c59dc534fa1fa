// The benchmark's peer: the same entries in an SQLite FTS5 table
// entries(hw, py_toneless, py_toned, en), queried the way a program would
// use it: one statement prepared once, a MATCH expression bound per query,
// every row stepped through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/lookup/query_sampler.h"

struct sqlite3;
struct sqlite3_stmt;

namespace lookupbench {

struct FtsPeer {
  sqlite3* db = nullptr;
  sqlite3_stmt* match = nullptr;  // SELECT rowid ... MATCH ?
  sqlite3_stmt* row = nullptr;    // the columns of one row by rowid
  std::string path;
};

// Writes the table into a new database file at `path` (an existing file is
// replaced) and prepares the statements. Null with a message on failure.
FtsPeer* CreateFtsPeer(const std::string& path, const std::vector<PeerRow>& rows, std::string* error);
void DestroyFtsPeer(FtsPeer* peer);

// Runs one MATCH expression and steps through every row: the row count,
// or -1 when SQLite refuses the expression. *firstRow (optional) receives
// the first row's rowid (0 when none).
int64_t RunPeerQuery(FtsPeer* peer, const std::string& expression, int64_t* firstRow);
// Reads every column of one row (what the peer does to show an entry):
// the bytes read, 0 when there is no such row.
uint64_t ReadPeerRow(FtsPeer* peer, int64_t rowid);

}  // namespace lookupbench
