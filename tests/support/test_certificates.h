// Certificates for the https tests, made when a test starts with the
// openssl command line: a certificate authority the client is told to
// trust (SSL_CERT_FILE=CaFile()), a second one it is not, and server
// certificates for loopback addresses. EC keys keep making them quick.
#ifndef KAVREL_TESTS_SUPPORT_TEST_CERTIFICATES_H
#define KAVREL_TESTS_SUPPORT_TEST_CERTIFICATES_H

#include <string>

#include "support/scratch_dir.h"

namespace kavrel::testing {

struct ServerCertificate {
  std::string certFile;  // PEM, the server's certificate only
  std::string keyFile;   // PEM, unencrypted
};

class TestCertificates {
 public:
  enum class Kind {
    kGood,             // signed by the trusted authority, for the address
    kWrongHost,        // as good, but names another address
    kExpired,          // as good, but valid only in 2020
    kUntrustedIssuer,  // for the address, signed by the other authority
  };

  TestCertificates();
  bool ok() const { return ok_; }
  std::string CaFile() const { return dir_.At("trusted/ca.pem"); }

  // A server certificate for `ipAddress` (and `dnsName` when given).
  ServerCertificate Make(const std::string& ipAddress, Kind kind = Kind::kGood, const std::string& dnsName = "") const;

 private:
  ScratchDir dir_;
  bool ok_ = false;
};

}  // namespace kavrel::testing

#endif
