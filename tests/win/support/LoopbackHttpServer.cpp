#include <winsock2.h>
#include <ws2tcpip.h>

#include "LoopbackHttpServer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"

namespace tarnix::test {

namespace {

using UniqueSocket = UniqueResource<SimpleTraits<SOCKET, &::closesocket, INVALID_SOCKET>>;

constexpr int kPollMs = 50;
constexpr size_t kMaxRequestHead = 65536;
constexpr size_t kBlock = 65536;

const char kNotFoundPage[] = "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>";

// The value of header `name` in a request head, empty when absent.
std::string HeaderValue(const std::string& head, std::string_view name) {
  size_t start = head.find("\r\n");
  while (start != std::string::npos && start + 2 < head.size()) {
    start += 2;
    const size_t end = head.find("\r\n", start);
    const std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const size_t colon = line.find(':');
    if (colon != std::string::npos && SameText(Trim(line.substr(0, colon)), name)) {
      return Trim(line.substr(colon + 1));
    }
    start = end;
  }
  return {};
}

// The body, read from the response or its file piece by piece.
class BodySource {
 public:
  explicit BodySource(const HttpResponse& response) : response_(response) {
    if (!response.bodyFile.empty()) {
      file_.open(response.bodyFile, std::ios::binary);
      file_.seekg(0, std::ios::end);
      length_ = file_ ? static_cast<uint64_t>(file_.tellg()) : 0;
      file_.seekg(0);
    } else {
      length_ = response.body.size();
    }
  }

  uint64_t Length() const { return length_; }

  // Up to `max` bytes from `offset`.
  std::string Read(uint64_t offset, size_t max) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(max, length_ - offset));
    if (response_.bodyFile.empty()) return response_.body.substr(static_cast<size_t>(offset), n);
    std::string block(n, '\0');
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(block.data(), static_cast<std::streamsize>(n));
    block.resize(static_cast<size_t>(std::max<std::streamsize>(file_.gcount(), 0)));
    return block;
  }

 private:
  const HttpResponse& response_;
  std::ifstream file_;
  uint64_t length_ = 0;
};

// The first byte a "bytes=N-" range asks for; nullopt for any other range.
std::optional<uint64_t> RangeStart(const std::string& range) {
  const std::string prefix = "bytes=";
  if (range.size() <= prefix.size() + 1 || range.compare(0, prefix.size(), prefix) != 0 || range.back() != '-') {
    return std::nullopt;
  }
  const std::string digits = range.substr(prefix.size(), range.size() - prefix.size() - 1);
  if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::stoull(digits);
}

int StatusCode(const std::string& status) { return std::atoi(status.c_str()); }

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() : listener_(INVALID_SOCKET) {
  WSADATA data;
  winsock_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  if (!winsock_) return;
  UniqueSocket listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!listener) return;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof address;
  u_long nonBlocking = 1;
  if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.get(), SOMAXCONN) != 0 ||
      ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::ioctlsocket(listener.get(), FIONBIO, &nonBlocking) != 0) {
    return;
  }
  listener_ = listener.release();
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopSignal_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  // The acceptor has ended, so the list no longer grows.
  for (std::thread& connection : connections_) connection.join();
  UniqueSocket listener(static_cast<SOCKET>(listener_));
  listener.reset();
  if (winsock_) ::WSACleanup();
}

std::string LoopbackHttpServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LoopbackHttpServer::Serve(const std::string& path, HttpResponse response) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(response);
}

std::vector<HttpRequestSeen> LoopbackHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int LoopbackHttpServer::RequestCount(std::string_view path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(
      std::count_if(requests_.begin(), requests_.end(), [&](const HttpRequestSeen& r) { return r.path == path; }));
}

void LoopbackHttpServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

bool LoopbackHttpServer::Stopping() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_;
}

// Sleeps `ms` unless the server stops first; false when it stops.
bool LoopbackHttpServer::Pause(int ms) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

// Every socket is non-blocking and waited for in short slices, so that the
// server stops promptly whatever its clients do.
bool LoopbackHttpServer::WaitReady(uintptr_t socket, bool forWriting) const {
  while (!Stopping()) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<SOCKET>(socket), &set);
    timeval timeout = {0, kPollMs * 1000};
    const int ready = ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &timeout);
    if (ready < 0) return false;
    if (ready > 0) return true;
  }
  return false;
}

bool LoopbackHttpServer::SendAll(uintptr_t socket, const char* data, size_t length) const {
  while (length > 0) {
    if (!WaitReady(socket, true)) return false;
    const int sent = ::send(static_cast<SOCKET>(socket), data, static_cast<int>(std::min<size_t>(length, kBlock)), 0);
    if (sent == SOCKET_ERROR) {
      if (::WSAGetLastError() == WSAEWOULDBLOCK) continue;
      return false;
    }
    data += sent;
    length -= static_cast<size_t>(sent);
  }
  return true;
}

void LoopbackHttpServer::AcceptLoop() {
  while (WaitReady(listener_, false)) {
    const SOCKET accepted = ::accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ::ioctlsocket(accepted, FIONBIO, &nonBlocking);
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.emplace_back([this, accepted] { HandleConnection(accepted); });
  }
}

void LoopbackHttpServer::HandleConnection(uintptr_t socket) {
  UniqueSocket connection(static_cast<SOCKET>(socket));
  std::string head;
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (head.size() > kMaxRequestHead || !WaitReady(socket, false)) return;
    char buffer[4096];
    const int got = ::recv(connection.get(), buffer, sizeof buffer, 0);
    if (got == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (got <= 0) return;
    head.append(buffer, static_cast<size_t>(got));
  }
  HttpRequestSeen request;
  const std::string line = head.substr(0, head.find("\r\n"));
  const size_t space = line.find(' ');
  request.method = line.substr(0, space);
  if (space != std::string::npos) request.path = line.substr(space + 1, line.find(' ', space + 1) - space - 1);
  request.userAgent = HeaderValue(head, "User-Agent");
  request.authorization = HeaderValue(head, "Authorization");
  request.range = HeaderValue(head, "Range");
  request.ifRange = HeaderValue(head, "If-Range");
  request.ifNoneMatch = HeaderValue(head, "If-None-Match");
  request.ifModifiedSince = HeaderValue(head, "If-Modified-Since");

  HttpResponse response;
  size_t index = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    index = requests_.size();
    requests_.push_back(request);
    const auto route = routes_.find(request.path);
    if (route != routes_.end()) {
      response = route->second;
    } else {
      response.status = "404 Not Found";
      response.contentType = "text/html";
      response.body = kNotFoundPage;
    }
  }
  if (request.method == "HEAD" && !response.headStatus.empty()) {
    HttpResponse refusal;
    refusal.status = response.headStatus;
    refusal.contentType = "text/plain";
    refusal.sendLength = false;
    response = refusal;
  }
  if (response.stallBeforeHead) return KeepOpen(socket);
  if (!SendResponse(socket, index, request, response)) return;
  if (response.end == BodyEnd::KeepOpen || response.stallAfter) return KeepOpen(socket);
  ::shutdown(connection.get(), SD_SEND);
}

// Until the client closes its side (or the server stops).
void LoopbackHttpServer::KeepOpen(uintptr_t socket) const {
  char buffer[4096];
  while (WaitReady(socket, false)) {
    const int got = ::recv(static_cast<SOCKET>(socket), buffer, sizeof buffer, 0);
    if (got == 0 || (got == SOCKET_ERROR && ::WSAGetLastError() != WSAEWOULDBLOCK)) break;
  }
}

void LoopbackHttpServer::NoteSent(size_t index, int status, uint64_t bodySent) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (index >= requests_.size()) return;
  requests_[index].status = status;
  requests_[index].bodySent = bodySent;
}

// False when the connection is already done with (dropped, or the client
// went away).
bool LoopbackHttpServer::SendResponse(uintptr_t socket, size_t index, const HttpRequestSeen& request,
                                      const HttpResponse& response) {
  BodySource body(response);
  std::string status = response.status;
  uint64_t offset = 0;
  const std::optional<uint64_t> rangeStart = RangeStart(request.range);
  const bool sameFile = request.ifRange.empty() || (!response.etag.empty() && request.ifRange == response.etag) ||
                        (!response.lastModified.empty() && request.ifRange == response.lastModified);
  const bool partial = response.honourRanges && request.method == "GET" && rangeStart && *rangeStart < body.Length() &&
                       sameFile;
  if (partial) {
    status = "206 Partial Content";
    offset = *rangeStart;
  }
  const bool notModified =
      response.answerConditional && request.method == "GET" &&
      (!request.ifNoneMatch.empty() ? !response.etag.empty() && request.ifNoneMatch == response.etag
                                    : !request.ifModifiedSince.empty() && request.ifModifiedSince == response.lastModified);
  if (notModified) {
    std::string head = "HTTP/1.1 304 Not Modified\r\n";
    if (!response.lastModified.empty()) head += "Last-Modified: " + response.lastModified + "\r\n";
    if (!response.etag.empty()) head += "ETag: " + response.etag + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!SendAll(socket, head.data(), head.size())) return false;
    NoteSent(index, 304, 0);
    return true;
  }
  std::string head = "HTTP/1.1 " + status + "\r\nContent-Type: " + response.contentType + "\r\n";
  if (partial) {
    head += "Content-Length: " + std::to_string(body.Length() - offset) + "\r\n";
    head += "Content-Range: bytes " + std::to_string(offset) + "-" + std::to_string(body.Length() - 1) + "/" +
            std::to_string(body.Length()) + "\r\n";
  } else if (request.method == "GET" && response.getLength) {
    if (*response.getLength != kNoLength) head += "Content-Length: " + std::to_string(*response.getLength) + "\r\n";
  } else if (response.sendLength) {
    head += "Content-Length: " + std::to_string(response.announcedLength.value_or(body.Length())) + "\r\n";
  }
  if (response.honourRanges) head += "Accept-Ranges: bytes\r\n";
  if (!response.lastModified.empty()) head += "Last-Modified: " + response.lastModified + "\r\n";
  if (!response.etag.empty()) head += "ETag: " + response.etag + "\r\n";
  if (!response.date.empty()) head += "Date: " + response.date + "\r\n";
  head += response.extraHeaders;
  head += "Connection: close\r\n\r\n";
  if (!SendAll(socket, head.data(), head.size())) return false;
  NoteSent(index, StatusCode(status), 0);
  if (request.method == "HEAD") return true;

  const uint64_t length = body.Length() - offset;
  const uint64_t cut = std::min(response.dropAfter.value_or(length), response.stallAfter.value_or(length));
  const uint64_t toSend = std::min(length, cut);
  const size_t piece = response.pieceSize > 0 ? response.pieceSize : kBlock;
  for (uint64_t sent = 0; sent < toSend;) {
    if (sent > 0 && response.pieceDelayMs > 0 && !Pause(response.pieceDelayMs)) return false;
    const std::string block = body.Read(offset + sent, static_cast<size_t>(std::min<uint64_t>(piece, toSend - sent)));
    if (block.empty() || !SendAll(socket, block.data(), block.size())) return false;
    sent += block.size();
    NoteSent(index, StatusCode(status), sent);
  }
  if (response.stallAfter) return true;
  if (response.dropAfter && *response.dropAfter < length) {
    if (response.resetOnDrop) {
      linger abortive = {1, 0};
      ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                   sizeof abortive);
    }
    return false;
  }
  if (response.end == BodyEnd::KeepSending) {
    const std::string filler(piece, 'z');
    while (SendAll(socket, filler.data(), filler.size())) {
      if (response.pieceDelayMs > 0 && !Pause(response.pieceDelayMs)) break;
    }
    return false;
  }
  return true;
}

}  // namespace tarnix::test
