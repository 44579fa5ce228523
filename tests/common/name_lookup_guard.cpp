// Defined in the test program, these take the place of the C library's
// resolver functions for every caller in the process (libcurl and Qt
// included); numeric hosts go on to the real functions, which then ask no one.
#include "name_lookup_guard.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

thread_local bool lookupsAllowed = false;

bool IsNumericHost(const char* name) {
  if (!name) return true;  // no host: a local address for a service
  in_addr v4{};
  in6_addr v6{};
  // inet_aton takes the short forms ("127.1") the resolver also reads without asking.
  return ::inet_aton(name, &v4) != 0 || ::inet_pton(AF_INET6, name, &v6) == 1;
}

void RefuseUnlessNumeric(const char* function, const char* name, bool numericOnly = false) {
  if (lookupsAllowed || numericOnly || IsNumericHost(name)) return;
  std::fprintf(stderr,
               "%s(\"%s\"): a test asked the system resolver for a name; tests use numeric "
               "loopback addresses so that no look-up leaves the machine\n",
               function, name);
  std::abort();
}

void RefuseReverse(const char* function) {
  if (lookupsAllowed) return;
  std::fprintf(stderr, "%s: a test asked the system resolver for the name of an address\n", function);
  std::abort();
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

namespace testguard {
void AllowNameLookupsOnThisThread() { lookupsAllowed = true; }
}  // namespace testguard

extern "C" {

int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** res) {
  RefuseUnlessNumeric("getaddrinfo", node, hints && (hints->ai_flags & AI_NUMERICHOST));
  using Fn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
  static const Fn real = Next<Fn>("getaddrinfo");
  return real(node, service, hints, res);
}

hostent* gethostbyname(const char* name) {
  RefuseUnlessNumeric("gethostbyname", name);
  using Fn = hostent* (*)(const char*);
  static const Fn real = Next<Fn>("gethostbyname");
  return real(name);
}

int gethostbyname_r(const char* name, hostent* ret, char* buf, size_t buflen, hostent** result, int* h_errnop) {
  RefuseUnlessNumeric("gethostbyname_r", name);
  using Fn = int (*)(const char*, hostent*, char*, size_t, hostent**, int*);
  static const Fn real = Next<Fn>("gethostbyname_r");
  return real(name, ret, buf, buflen, result, h_errnop);
}

// Reverse look-ups: only the numeric form may be asked for.
int getnameinfo(const sockaddr* addr, socklen_t addrlen, char* host, socklen_t hostlen, char* serv, socklen_t servlen,
                int flags) {
  if (host && hostlen > 0 && !(flags & NI_NUMERICHOST)) RefuseReverse("getnameinfo");
  using Fn = int (*)(const sockaddr*, socklen_t, char*, socklen_t, char*, socklen_t, int);
  static const Fn real = Next<Fn>("getnameinfo");
  return real(addr, addrlen, host, hostlen, serv, servlen, flags);
}

hostent* gethostbyaddr(const void* addr, socklen_t len, int type) {
  RefuseReverse("gethostbyaddr");
  using Fn = hostent* (*)(const void*, socklen_t, int);
  static const Fn real = Next<Fn>("gethostbyaddr");
  return real(addr, len, type);
}

}  // extern "C"

namespace {

// The guard works only while the process-wide symbols are ours: checked
// before any test runs, without asking the resolver anything.
class GuardInEffect : public ::testing::Environment {
 public:
  void SetUp() override {
    const struct {
      const char* name;
      void* ours;
    } functions[] = {{"getaddrinfo", reinterpret_cast<void*>(&getaddrinfo)},
                     {"gethostbyname", reinterpret_cast<void*>(&gethostbyname)},
                     {"gethostbyname_r", reinterpret_cast<void*>(&gethostbyname_r)},
                     {"getnameinfo", reinterpret_cast<void*>(&getnameinfo)},
                     {"gethostbyaddr", reinterpret_cast<void*>(&gethostbyaddr)}};
    for (const auto& f : functions)
      ASSERT_EQ(::dlsym(RTLD_DEFAULT, f.name), f.ours) << f.name << " is not the look-up guard's";
  }
};

const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new GuardInEffect);

}  // namespace
