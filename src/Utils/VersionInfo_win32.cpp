#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#include "Utils/FileUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/Trace.h"
#include "Utils/VersionInfo.h"
#include "Utils/WindowUtils.h"

namespace tarnix {

namespace {

// Some systems write past the size they report for the resource, so the
// buffer has room to spare.
constexpr DWORD kMinVersionBuffer = 16384;

// The version library is looked up rather than imported, so that it comes
// from the system folder only; without it no file has a version.
struct VersionApi {
  using InfoSizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
  InfoSizeFn infoSize = nullptr;
  InfoFn info = nullptr;
  QueryFn query = nullptr;
  bool Present() const { return infoSize && info && query; }
};

const VersionApi& Version() {
  static const VersionApi api = [] {
    VersionApi v;
    v.infoSize = LoadProcAs<VersionApi::InfoSizeFn>("version.dll", "GetFileVersionInfoSizeA");
    v.info = LoadProcAs<VersionApi::InfoFn>("version.dll", "GetFileVersionInfoA");
    v.query = LoadProcAs<VersionApi::QueryFn>("version.dll", "VerQueryValueA");
    return v;
  }();
  return api;
}

class VersionResource {
 public:
  // An empty file name means the running executable.
  explicit VersionResource(const std::string& file) : path_(file.empty() ? GetExeFileName() : file) {
    const VersionApi& api = Version();
    if (!api.Present()) return;
    DWORD ignored = 0;
    const DWORD size = api.infoSize(path_.c_str(), &ignored);
    if (size == 0) return;
    std::vector<char> block(std::max(size, kMinVersionBuffer));
    if (api.info(path_.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) block_ = std::move(block);
  }

  const std::string& Path() const { return path_; }

  // The value at `subBlock`, which must hold at least `minLength` bytes and
  // lie inside the resource; nullptr otherwise.
  const char* Query(const char* subBlock, size_t minLength, size_t& length) const {
    if (block_.empty()) return nullptr;
    void* value = nullptr;
    UINT size = 0;
    if (!Version().query(block_.data(), subBlock, &value, &size) || value == nullptr) return nullptr;
    const char* p = static_cast<const char*>(value);
    const char* begin = block_.data();
    const char* end = begin + block_.size();
    if (p < begin || p >= end || size < minLength || size_t(end - p) < minLength) return nullptr;
    length = std::min<size_t>(size, size_t(end - p));
    return p;
  }

 private:
  std::string path_;
  std::vector<char> block_;
};

std::string FileVersionText(const std::string& file, int width, int count) {
  const VersionResource resource(file);
  size_t length = 0;
  const char* p = resource.Query("\\", sizeof(VS_FIXEDFILEINFO), length);
  if (p == nullptr) return {};
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, p, sizeof fixed);
  const std::string text = FormatText("%d.%d.%d.%d", int(HIWORD(fixed.dwFileVersionMS)),
                                      int(LOWORD(fixed.dwFileVersionMS)), int(HIWORD(fixed.dwFileVersionLS)),
                                      int(LOWORD(fixed.dwFileVersionLS)));
  if (width > 1 || count < 4) return NormalizeVersion(text, width, count);
  return text;
}

std::optional<std::string> StringValue(const VersionResource& resource, const std::string& name) {
  size_t length = 0;
  const char* translation = resource.Query("\\VarFileInfo\\Translation", sizeof(DWORD), length);
  if (translation == nullptr) return std::nullopt;
  DWORD languageAndCodePage = 0;
  std::memcpy(&languageAndCodePage, translation, sizeof languageAndCodePage);
  const std::string block = FormatText("\\StringFileInfo\\%.4x%.4x\\", unsigned(LOWORD(languageAndCodePage)),
                                       unsigned(HIWORD(languageAndCodePage)));
  const char* value = resource.Query((block + name).c_str(), 0, length);
  if (value == nullptr) return std::nullopt;
  return std::string(value, strnlen(value, length));
}

std::string QueryValueText(const std::string& file, const std::string& name, int width, int count) {
  const VersionResource resource(file);
  std::string result;
  if (const std::optional<std::string> value = StringValue(resource, name)) {
    result = ReplaceChar(*value, ',', '.');
    if (width > 1 || count < 4) result = NormalizeVersion(result, width, count);
  }
  TraceValues("QueryValue", resource.Path(), name, result);
  return result;
}

}  // namespace

std::string GetExeVersion(const std::string& file, int width, int count) {
  try {
    return FileVersionText(file, width, count);
  } catch (const std::exception& e) {
    ReportException(e, "Utils.GetExeVersion()", {});
  } catch (...) {
  }
  return {};
}

std::string QueryValue(const std::string& file, const std::string& name, int width, int count) {
  try {
    return QueryValueText(file, name, width, count);
  } catch (const std::exception& e) {
    ReportException(e, "Utils.QueryValue()", {});
  } catch (...) {
  }
  return {};
}

std::string GetProductVersion(const std::string& file, int width, int count) {
  try {
    return QueryValueText(file, "ProductVersion", width, count);
  } catch (const std::exception& e) {
    ReportException(e, "Utils.GetProductVersion()", {});
  } catch (...) {
  }
  return {};
}

std::string GetKernel32Version() {
  const std::string system = GetSystemDir(true);
  if (system.empty()) return {};
  return GetProductVersion(system + "kernel32.dll", 1, 4);
}

}  // namespace tarnix
