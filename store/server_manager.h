#pragma once
// The store of known recorders: the table `server` of "server.db" in the
// current directory, every value scrambled. Its six columns, in this order:
// saveenable, server, ip, port, user, password. ip uses the fixed scheme (it is
// the key rows are found and deleted by), the others the salted one. The table
// is never created here; the installation ships a "server.db" that holds it.
//
// Use: construct on the stack, m_db.Open(), one operation (a change is one
// operation), let it go (the destructor closes the file). Every operation
// returns 0 on success and a non-zero code otherwise: the library's code, 1
// without an open connection (for instance a missing "server.db"), or
// kValueTooLong.
#include "store/server_entry.h"
#include "store/sqlite_wrapper.h"

class CServerManager {
public:
  // A salted value longer than store_scramble::kMaxSaltedUnits cannot be
  // stored; nothing is run. Negative, so it is no code of the library.
  static constexpr int kValueTooLong = -1;

  CServerManager() = default;
  CServerManager(const CServerManager&) = delete;
  CServerManager& operator=(const CServerManager&) = delete;
  virtual ~CServerManager();

  // Appends a row for entry.
  int AddServer(const ServerEntry& entry);
  // Removes every row stored under ip.
  int DeleteServer(const QString& ip);
  // The first row stored under ip: its ip is the text asked for, the other
  // fields the stored ones. Six empty fields when there is none, and also when
  // the lookup failed, so a caller that must tell the two apart reads result.
  // *found tells whether there was a row, also for an empty ip, whose row
  // reads like none.
  // occurrence picks a later row of ip instead, counted from 0 in the order
  // ListServers gives them: a file of another build may hold one address on
  // several rows. There is none when ip has no more rows than occurrence.
  ServerEntry FindServer(const QString& ip, int* result = nullptr, bool* found = nullptr, int occurrence = 0);
  // Every row, all columns, in the library's order; read the cells "ip" with
  // UnscrambleFixed and "server" with UnscrambleSalted. Empty on a failure.
  SQLite::Table ListServers(int* result = nullptr);
  // An edit: removes the rows of previousIp and appends entry, in one
  // transaction, so the edited entry is listed last and a failed insert
  // leaves the old rows in place.
  int ChangeServer(const QString& previousIp, const ServerEntry& entry);

  SQLite::Database m_db;

private:
  int Insert(const ServerEntry& entry);
  int Delete(const QString& ip);
};

// True when every salted field of entry fits the salted scheme.
bool FitsServerStore(const ServerEntry& entry);
