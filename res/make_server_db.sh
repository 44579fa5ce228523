#!/usr/bin/env bash
# Makes the empty "server.db" that an installation ships: the table `server`
# with its six text columns, in the order the store's insert relies on, and no
# rows. The program itself never creates the table. Run it only to remake the
# committed res/server.db.
set -euo pipefail
out=${1:-"$(dirname "$0")/server.db"}
rm -f "$out"
sqlite3 "$out" 'CREATE TABLE server (saveenable TEXT, server TEXT, ip TEXT, port TEXT, user TEXT, password TEXT);'
