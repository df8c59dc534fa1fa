#include "bench/lookup/fts_peer.h"

#include <sqlite3.h>

#include <cstdio>

namespace lookupbench {

namespace {

bool Exec(sqlite3* db, const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  if (error) *error = std::string(sql) + ": " + (message ? message : "failed");
  sqlite3_free(message);
  return false;
}

bool Fail(FtsPeer* peer, const std::string& what, std::string* error) {
  if (error && error->empty()) *error = what + ": " + sqlite3_errmsg(peer->db);
  DestroyFtsPeer(peer);
  return false;
}

}  // namespace

FtsPeer* CreateFtsPeer(const std::string& path, const std::vector<PeerRow>& rows, std::string* error) {
  std::remove(path.c_str());
  auto* peer = new FtsPeer;
  peer->path = path;
  if (sqlite3_open(path.c_str(), &peer->db) != SQLITE_OK) {
    Fail(peer, "open", error);
    return nullptr;
  }
  if (!Exec(peer->db,
            "CREATE VIRTUAL TABLE entries USING fts5(hw, py_toneless, py_toned, en, tokenize = 'unicode61');"
            "BEGIN;",
            error)) {
    Fail(peer, "create", error);
    return nullptr;
  }
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(peer->db, "INSERT INTO entries(rowid, hw, py_toneless, py_toned, en) VALUES (?, ?, ?, ?, ?)",
                         -1, &insert, nullptr) != SQLITE_OK) {
    Fail(peer, "insert", error);
    return nullptr;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const PeerRow& r = rows[i];
    sqlite3_bind_int64(insert, 1, static_cast<sqlite3_int64>(i) + 1);
    sqlite3_bind_text(insert, 2, r.headwords.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 3, r.toneless.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 4, r.toned.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 5, r.english.c_str(), -1, SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) {
      sqlite3_finalize(insert);
      Fail(peer, "insert", error);
      return nullptr;
    }
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  if (!Exec(peer->db, "COMMIT; INSERT INTO entries(entries) VALUES('optimize');", error)) {
    Fail(peer, "commit", error);
    return nullptr;
  }
  if (sqlite3_prepare_v2(peer->db, "SELECT rowid FROM entries WHERE entries MATCH ?", -1, &peer->match, nullptr) !=
          SQLITE_OK ||
      sqlite3_prepare_v2(peer->db, "SELECT hw, py_toneless, py_toned, en FROM entries WHERE rowid = ?", -1,
                         &peer->row, nullptr) != SQLITE_OK) {
    Fail(peer, "prepare", error);
    return nullptr;
  }
  return peer;
}

void DestroyFtsPeer(FtsPeer* peer) {
  if (!peer) return;
  sqlite3_finalize(peer->match);
  sqlite3_finalize(peer->row);
  sqlite3_close(peer->db);
  delete peer;
}

int64_t RunPeerQuery(FtsPeer* peer, const std::string& expression, int64_t* firstRow) {
  if (firstRow) *firstRow = 0;
  sqlite3_reset(peer->match);
  sqlite3_bind_text(peer->match, 1, expression.c_str(), static_cast<int>(expression.size()), SQLITE_STATIC);
  int64_t rows = 0;
  int rc;
  while ((rc = sqlite3_step(peer->match)) == SQLITE_ROW) {
    if (rows == 0 && firstRow) *firstRow = sqlite3_column_int64(peer->match, 0);
    ++rows;
  }
  sqlite3_reset(peer->match);
  return rc == SQLITE_DONE ? rows : -1;
}

uint64_t ReadPeerRow(FtsPeer* peer, int64_t rowid) {
  sqlite3_reset(peer->row);
  sqlite3_bind_int64(peer->row, 1, rowid);
  uint64_t bytes = 0;
  if (sqlite3_step(peer->row) == SQLITE_ROW) {
    for (int c = 0; c < 4; ++c) {
      sqlite3_column_text(peer->row, c);
      bytes += static_cast<uint64_t>(sqlite3_column_bytes(peer->row, c));
    }
  }
  sqlite3_reset(peer->row);
  return bytes;
}

}  // namespace lookupbench
