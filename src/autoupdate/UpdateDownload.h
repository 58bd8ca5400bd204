// Windows only. The agent's download step for its three kinds of files:
// the announcement (.info), the new setup and the inform file. A location
// is tried as a folder first (a local or network path, no connection
// needed), then as a web address; in test mode the test location replaces
// it and nothing is fetched over HTTP. Downloaded setups and inform files
// must carry the product's token.
#pragma once

#include <string>
#include <string_view>

#include "Utils/Failure.h"
#include "net/HttpDownload.h"

namespace tarnix {

enum DownloadMode : int {
  kDownloadInfo = 1,
  kDownloadUpdate = 2,
  kDownloadInform = 3,
};

// The status line shows what is being fetched.
void ShowAgentStatus(int mode);

// An announcement's probe: which file to ask for, the conditional request,
// and what came of it.
struct InfoProbe {
  // The file's name at the location, a channel's announcement
  // (ProbePacing.h); empty: the name of the kept copy.
  std::string remoteName;
  // Conditional headers in, the response's head out (over HTTP).
  HttpExchange http;
  // The location has no such file: 404 or 410 from a server, nothing of
  // that name in a folder.
  bool missing = false;
};

// Fetches `fileName` (its file-name part) from `location` into the
// executable's folder. True when the file arrived and, for the setup and
// the inform file, carries the product's token. `error` holds what failed
// for the caller's report; a failure the user has already been told about
// leaves it empty. Every failure is logged with its reason, which `why`
// (may be null) receives. For the announcement, `probe` (may be null) names
// another file to ask for and carries the conditional request: a 304 keeps
// the copy beside the agent, which is judged again as if it had come anew.
bool DownloadFileAU(std::string_view location, std::string_view fileName, int mode, std::string& error,
                    Failure* why = nullptr, InfoProbe* probe = nullptr);

// Whether the downloaded `file` belongs to this product: the setup's
// settings token, or the inform file's first field, equals the running
// package's token once both are in clear form.
bool TokenMatches(const std::string& file, int mode);

}  // namespace tarnix
