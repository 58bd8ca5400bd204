#include "net/SecureConnection.h"

namespace tarnix {

namespace {

struct Refusal {
  unsigned long error;
  const char* reason;
};

// The library's error numbers (12000 and up) for certificates and the
// secure channel.
constexpr Refusal kRefusals[] = {
    {12037, "the server's certificate has expired or is not yet valid"},
    {12038, "the server's certificate was issued for another host name"},
    {12044, "the server asks for a client certificate"},
    {12045, "the server's certificate was not issued by a trusted authority"},
    {12055, "the server's certificate is not valid"},
    {12056, "the server's certificate gives no way to check its revocation"},
    {12057, "the server's certificate could not be verified as trusted and not revoked"},
    {12157, "no secure channel could be set up with the server"},
    {12169, "the server's certificate is not valid"},
    {12170, "the server's certificate has been revoked"},
};

// The library's other errors of a connection.
constexpr Refusal kConnectionErrors[] = {
    {12002, "the server did not answer in time"},
    {12005, "the address is not valid"},
    {12006, "the address names no known protocol"},
    {12007, "the server's name could not be resolved"},
    {12029, "no connection could be made to the server"},
    {12030, "the connection to the server was cut"},
    {12031, "the server reset the connection"},
    {12152, "the server's answer was not understood"},
};

}  // namespace

std::string ConnectionFailureReason(unsigned long error) {
  for (const Refusal& refusal : kRefusals)
    if (refusal.error == error) return std::string("secure connection refused: ") + refusal.reason;
  for (const Refusal& known : kConnectionErrors)
    if (known.error == error) return known.reason;
  return {};
}

}  // namespace tarnix
