// Downloads one url with the stub's downloader and prints how fast it went:
//   download-probe URL TARGET [--bar]
//   download-probe URL --size
// TARGET "-" keeps the body in memory; --bar drives a progress reporter (with
// no display) as the stub window does; --size asks only for the size.
// Exit code 0 on success.
#include <cstdio>
#include <cstring>
#include <string>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "net/DownloadAbort.h"
#include "net/HttpDownload.h"
#include "ui/ProgBar.h"

int main(int argc, char** argv) {
  using namespace tarnix;
  if (argc < 3) {
    std::fprintf(stderr, "usage: download-probe URL TARGET|- [--bar]\n");
    return 2;
  }
  const std::string url = argv[1];
  if (std::strcmp(argv[2], "--size") == 0) {
    const int64_t start = NowMs();
    const int32_t size = HTTP_GetFileSize(url);
    std::printf("size %ld in %lld ms\n", static_cast<long>(size), static_cast<long long>(NowMs() - start));
    return size < 0 ? 1 : 0;
  }
  const std::string target = std::strcmp(argv[2], "-") == 0 ? "" : argv[2];
  const bool withBar = argc > 3 && std::strcmp(argv[3], "--bar") == 0;
  TProgBar bar(nullptr);
  std::string data, error;
  SetDownloadAbort(false);
  const int64_t start = NowMs();
  HTTP_DownloadFile(nullptr, url, target, data, withBar ? &bar : nullptr, error);
  const int64_t ms = NowMs() - start;
  const int64_t bytes = target.empty() ? static_cast<int64_t>(data.size()) : GetFileSizeByName(target);
  if (!error.empty()) {
    std::printf("error: %s\n", error.c_str());
    return 1;
  }
  const double seconds = ms > 0 ? ms / 1000.0 : 0.001;
  std::printf("%lld bytes in %.2f s: %.1f MB/s\n", static_cast<long long>(bytes), seconds, bytes / 1e6 / seconds);
  return 0;
}
