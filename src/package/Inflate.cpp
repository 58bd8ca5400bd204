#include "package/Inflate.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace tarnix {

namespace {

struct InflateStream {
  z_stream z{};
  bool open = false;
  ~InflateStream() {
    if (open) inflateEnd(&z);
  }
};

std::string ZlibMessage(const z_stream& z, int code) {
  if (z.msg) return z.msg;
  switch (code) {
    case Z_NEED_DICT: return "need dictionary";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_STREAM_ERROR: return "stream error";
    default: return "zlib error " + std::to_string(code);
  }
}

}  // namespace

std::string Inflate(std::string_view input, const PumpFn& pump, size_t maxOutput) {
  InflateStream s;
  int rc = inflateInit(&s.z);
  if (rc != Z_OK) throw EZLibError(ZlibMessage(s.z, rc));
  s.open = true;

  // zlib counts in uInt; block inputs are far below 4 GiB (checked by callers).
  s.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  s.z.avail_in = static_cast<uInt>(input.size());

  std::string out;
  size_t capacity = std::min(maxOutput, std::max<size_t>(256, (input.size() + 255) / 256 * 256));
  out.resize(capacity);
  size_t produced = 0;
  for (;;) {
    s.z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    s.z.avail_out = static_cast<uInt>(out.size() - produced);
    rc = inflate(&s.z, Z_NO_FLUSH);
    produced = out.size() - s.z.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && s.z.avail_in == 0) throw EZLibError("unexpected end of stream");
    if (rc != Z_OK && rc != Z_BUF_ERROR) throw EZLibError(ZlibMessage(s.z, rc));
    if (s.z.avail_out == 0) {
      if (out.size() >= maxOutput) throw EZLibError("block larger than " + std::to_string(maxOutput) + " bytes");
      out.resize(std::min(maxOutput, out.size() * 2));
      if (pump) pump();
    }
  }
  out.resize(produced);
  return out;
}

}  // namespace tarnix
