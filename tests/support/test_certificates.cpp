#include "support/test_certificates.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>

#include "support/loopback_servers.h"

namespace kavrel::testing {

namespace {

// `openssl ca` rather than `openssl x509 -req`: only it takes validity
// dates in the past, which the expired certificate needs.
const char kAuthorityConfig[] =
    "[ca]\n"
    "default_ca = test\n"
    "[test]\n"
    "dir = .\n"
    "database = index.txt\n"
    "new_certs_dir = .\n"
    "serial = serial\n"
    "default_md = sha256\n"
    "policy = anything\n"
    "unique_subject = no\n"
    "[anything]\n"
    "commonName = supplied\n";

const char kNewKey[] = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

bool Shell(const std::string& directory, const std::string& commands) {
  std::string line = "cd '" + directory + "' && { " + commands + "; } >>openssl.log 2>&1";
  return std::system(line.c_str()) == 0;
}

}  // namespace

TestCertificates::TestCertificates() {
  if (!HaveProgram("openssl")) return;
  ok_ = true;
  for (const char* name : {"trusted", "other"}) {
    dir_.MakeDir(name);
    dir_.Write(std::string(name) + "/ca.cnf", kAuthorityConfig);
    dir_.Write(std::string(name) + "/index.txt", "");
    dir_.Write(std::string(name) + "/serial", "1000\n");
    ok_ = ok_ && Shell(dir_.At(name), std::string("openssl req -x509 ") + kNewKey +
                                          " -keyout ca.key -out ca.pem -days 3 -subj '/CN=kavrel test " + name +
                                          " authority' -addext basicConstraints=critical,CA:TRUE"
                                          " -addext keyUsage=critical,keyCertSign,cRLSign");
  }
}

ServerCertificate TestCertificates::Make(const std::string& ipAddress, Kind kind, const std::string& dnsName) const {
  static std::atomic<int> count{0};
  std::string base = "leaf" + std::to_string(++count);
  std::string name = dir_.At(base);
  std::string authority = dir_.At(kind == Kind::kUntrustedIssuer ? "other" : "trusted");
  // Random test addresses never have a 0 byte, so this one is always
  // another server's.
  std::string subjectAlt = "IP:" + (kind == Kind::kWrongHost ? std::string("127.0.0.2") : ipAddress);
  if (!dnsName.empty()) subjectAlt += ",DNS:" + dnsName;
  dir_.Write(base + ".ext", "[leaf]\nbasicConstraints = CA:FALSE\nextendedKeyUsage = serverAuth\nsubjectAltName = " +
                                subjectAlt + "\n");
  std::string dates = kind == Kind::kExpired ? "-startdate 20200101000000Z -enddate 20200201000000Z" : "-days 2";
  ServerCertificate leaf{name + ".pem", name + ".key"};
  std::string request = std::string("openssl req -new ") + kNewKey + " -keyout '" + leaf.keyFile + "' -out '" + name +
                        ".csr' -subj '/CN=kavrel test server'";
  std::string signing = "openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in '" + name +
                        ".csr' -out '" + leaf.certFile + "' -extfile '" + name + ".ext' -extensions leaf " + dates;
  if (!Shell(authority, request + " && " + signing)) {
    throw std::runtime_error("openssl could not make a certificate; see " + authority + "/openssl.log");
  }
  return leaf;
}

}  // namespace kavrel::testing
