// Why the platform's internet library refused a secure (https) connection,
// in words for the error text: certificate checks stay on, so a server
// whose certificate is not trusted is refused and the user is told why.
#pragma once

#include <string>

namespace tarnix {

// " (secure connection refused: ...)" for the library's certificate and
// channel errors; empty for any other error number.
std::string SecureConnectionDetail(unsigned long error);

}  // namespace tarnix
