// Windows only. The network calls of one download (or size query), made on
// a thread of their own so that a server that stalls never holds up the
// windows. The calling thread, which owns the windows, pumps its messages
// while it waits for a call, and gives up on the call when the download
// abort flag is set (a close request) or when nothing has arrived for
// kNetworkStallMs.
//
// The handoff between the two threads is one block (NetHandoff):
// the caller writes a call and its inputs and signals the thread; the
// thread runs the call, writes its outputs and signals back; while a read
// runs, the thread notes when bytes last arrived, so that a slow trickle is
// not taken for a stall. One call is in flight at a time. The thread owns the WinINet handles and its own
// reference to the library, touches no other state of the process, and
// calls nothing of the windows. A call given up on finishes on the thread,
// which then closes its handles and ends by itself: the library's own
// timeouts, a little longer than the stall limit, bound that.
#pragma once

#include <cstdint>
#include <string>

#include "net/DownloadRules.h"

namespace tarnix {

// How a wait for a call ended.
enum class NetWait {
  Done,
  // The abort flag was set; the call goes on without anybody waiting.
  Aborted,
  // Nothing arrived for kNetworkStallMs.
  Stalled,
};

// A request for the download itself.
struct NetRequest {
  // With its scheme.
  std::string url;
  // With a user name the request gets a connection of its own that
  // carries the credentials.
  std::string user;
  std::string password;
  // Further request headers, each line ending in CR LF.
  std::string headers;
};

// What the download's response says in its head.
struct NetResponseHead {
  // 0 for a protocol without status codes.
  uint32_t status = 0;
  // kUnknownSize when the response has no length.
  uint32_t length = kUnknownSize;
  // Last-Modified packed as a DOS date and time, taken as the server gave
  // it; 0 when missing or not packable.
  uint32_t lastModifiedStamp = 0;
  std::string lastModified;
  // The server's Date is far enough after Last-Modified that the date tells
  // this file from a later one (DateVouchesForLastModified).
  bool lastModifiedStrong = false;
  std::string etag;
  std::string contentRange;
  // Retry-After and Date as sent; empty when missing.
  std::string retryAfter;
  std::string date;
};

struct NetHandoff;
enum class NetCall : int;

class InternetThread {
 public:
  InternetThread() = default;
  // Lets the thread end; a call still running finishes there first.
  ~InternetThread();
  InternetThread(const InternetThread&) = delete;
  InternetThread& operator=(const InternetThread&) = delete;

  // Loads the thread's reference to the library and starts it; false when
  // either fails.
  bool Start();

  // Touches `url` once before the real request and reads nothing: over http
  // only the head is asked for (HEAD), as the library may otherwise read an
  // unread body to its end when the request is closed.
  NetWait WarmUp(const std::string& url);

  // The Content-Length of `url` (kUnknownSize when it has none), asked with
  // HEAD over http, with GET only when the server refuses HEAD. `opened` is
  // false when the url could not be opened.
  NetWait QuerySize(const std::string& url, bool& opened, uint32_t& size);

  // Sends the download's request, closing one sent before. `opened` is
  // false when it could not be sent; `error` then holds the system's error
  // number (a refused certificate tells the user why).
  NetWait Open(const NetRequest& request, bool& opened, NetResponseHead& head, unsigned long& error);

  // Reads what arrives of the body, at most `want` bytes, for a short while
  // once the first of them is there; `got` 0 with `ok` is the end of the
  // body. On a failure `error` holds the system's reason, or the server's
  // last response when the system gives none, and `errorNumber` the
  // system's error number.
  NetWait Read(char* buffer, uint32_t want, uint32_t& got, bool& ok, std::string& error,
               unsigned long& errorNumber);

 private:
  NetWait Run(NetCall call);
  void LetGo();

  NetHandoff* handoff_ = nullptr;
  // How the last wait ended: a thread given up on takes no further calls.
  NetWait ended_ = NetWait::Done;
};

}  // namespace tarnix
