#pragma once
// What a client needs to reach one recorder: its address, the credentials of
// the Basic authorisation, its port and the HTTPS flag.
#include <QString>

namespace nvr {

struct ConnectionData {
  QString host;
  QString user;
  QString password;
  int port = 0;  // 0 = the client's default
  int https = 0;
};

}  // namespace nvr
