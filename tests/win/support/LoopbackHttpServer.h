// Windows only. A small HTTP server for tests, on 127.0.0.1 at a port the
// system picks, serving from a thread of its own from construction to
// destruction.
//
//   LoopbackHttpServer server;
//   HttpResponse file;
//   file.body = "hello";                       // or file.bodyFile = path
//   server.Serve("/setup.exe", file);
//   ... download server.Url("/setup.exe") ...
//   server.Requests()                          // what the server was asked
//
// Every response closes its connection; a HEAD request gets the head alone.
// A path nobody registered gets a
// "404 Not Found" HTML page. The fields of HttpResponse shape the faults a
// test needs: a missing or wrong Content-Length, a dropped connection, a body
// that never ends, a body that trickles in, a server that stalls before or
// during the body, another status; and range requests, honoured or not.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarnix::test {

inline constexpr uint64_t kNoLength = UINT64_MAX;

enum class BodyEnd {
  Close,        // close the connection after the body
  KeepSending,  // go on sending filler bytes until the client goes away
  KeepOpen,     // send nothing more and keep the connection until the client goes away
};

struct HttpResponse {
  std::string status = "200 OK";
  // The body, unless `bodyFile` names a file whose bytes are the body.
  std::string body;
  std::string bodyFile;
  std::string contentType = "application/octet-stream";
  // Content-Length: the body's length, absent, or this value instead.
  bool sendLength = true;
  std::optional<uint64_t> announcedLength;
  // The Content-Length of a GET alone, or kNoLength for none: a server whose
  // HEAD tells the truth and whose GET does not.
  std::optional<uint64_t> getLength;
  // Last-Modified, ETag and Date header values as sent, none when empty.
  std::string lastModified;
  std::string etag;
  std::string date;
  // Answers "Range: bytes=N-" with 206 and the rest of the body, when an
  // If-Range that comes with it names this ETag or Last-Modified; otherwise
  // (and always when false) the whole body with 200, as a server that
  // ignores ranges does.
  bool honourRanges = false;
  // Reads the request and then sends nothing, keeping the connection open
  // until the client goes away.
  bool stallBeforeHead = false;
  // Sends the head and this many body bytes, then nothing, keeping the
  // connection open until the client goes away.
  std::optional<uint64_t> stallAfter;
  // Closes the connection after this many body bytes; with `resetOnDrop`
  // abortively, so the client sees a reset instead of an end of data.
  std::optional<uint64_t> dropAfter;
  bool resetOnDrop = false;
  BodyEnd end = BodyEnd::Close;
  // Sends the body in pieces of `pieceSize` bytes (0: as fast as the
  // connection takes it) with `pieceDelayMs` between them.
  size_t pieceSize = 0;
  int pieceDelayMs = 0;
  // The status a HEAD request gets instead, with no length, as from a server
  // that refuses the method ("405 Method Not Allowed"); empty: HEAD is
  // answered with this response's head.
  std::string headStatus;
  // Answers a GET whose If-None-Match names `etag`, or (without
  // If-None-Match) whose If-Modified-Since equals `lastModified`, with "304
  // Not Modified" and no body, as nginx does for a static file.
  bool answerConditional = false;
  // Further header lines, each ending in CR LF (Retry-After: 120\r\n).
  std::string extraHeaders;
};

struct HttpRequestSeen {
  std::string method;
  std::string path;
  std::string userAgent;
  std::string authorization;
  std::string range;
  std::string ifRange;
  std::string ifNoneMatch;
  std::string ifModifiedSince;
  // The status line's code and the body bytes sent, once answered.
  int status = 0;
  uint64_t bodySent = 0;
};

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // False when the server could not listen; Port() is then 0.
  bool Running() const { return port_ != 0; }
  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>" + path.
  std::string Url(std::string_view path) const;

  // Answers requests for `path` (with its query, as the client sent it).
  void Serve(const std::string& path, HttpResponse response);

  // Every request received so far, in order of arrival.
  std::vector<HttpRequestSeen> Requests() const;
  int RequestCount(std::string_view path) const;
  void ClearRequests();

 private:
  void AcceptLoop();
  void HandleConnection(uintptr_t socket);
  bool SendResponse(uintptr_t socket, size_t index, const HttpRequestSeen& request, const HttpResponse& response);
  void KeepOpen(uintptr_t socket) const;
  void NoteSent(size_t index, int status, uint64_t bodySent);
  bool WaitReady(uintptr_t socket, bool forWriting) const;
  bool SendAll(uintptr_t socket, const char* data, size_t length) const;
  bool Pause(int ms) const;
  bool Stopping() const;

  uintptr_t listener_;
  uint16_t port_ = 0;
  bool winsock_ = false;

  mutable std::mutex mutex_;
  mutable std::condition_variable stopSignal_;
  bool stopping_ = false;
  std::map<std::string, HttpResponse> routes_;
  std::vector<HttpRequestSeen> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace tarnix::test
