// Why the platform's internet library could not open a connection, in words
// for the error text: certificate checks stay on, so a server whose
// certificate is not trusted is refused and the user is told why, as for a
// name that does not resolve or a server that does not answer.
#pragma once

#include <string>

namespace tarnix {

// "secure connection refused: ..." for the library's certificate and
// channel errors, a few words for its other connection errors; empty for
// any other error number.
std::string ConnectionFailureReason(unsigned long error);

}  // namespace tarnix
