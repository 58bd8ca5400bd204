#include <windows.h>

#include <algorithm>

#include "Utils/Registry.h"
#include "Utils/UniqueResource.h"

namespace tarnix {

namespace {

HKEY RootHandle(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegRoot::LocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegRoot::Users:
      return HKEY_USERS;
    case RegRoot::CurrentConfig:
      return HKEY_CURRENT_CONFIG;
    case RegRoot::DynData:
      return HKEY_DYN_DATA;
    case RegRoot::CurrentUser:
      break;
  }
  return HKEY_CURRENT_USER;
}

// The value's type and bytes. The size is asked for first; a value that
// grows between the calls is asked for again, a few times at most.
bool QueryValueBytes(HKEY key, const char* name, DWORD& type, std::string& data) {
  DWORD size = 0;
  LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return false;
    if (size > kMaxRegValueBytes) return false;
    data.assign(size, '\0');
    DWORD got = size;
    rc = ::RegQueryValueExA(key, name, nullptr, &type, data.empty() ? nullptr : reinterpret_cast<BYTE*>(data.data()),
                            &got);
    if (rc == ERROR_SUCCESS) {
      data.resize(std::min<size_t>(got, data.size()));
      return true;
    }
    size = got;
  }
  return false;
}

}  // namespace

std::string ReadRegValue(std::string_view path, std::string_view name, std::string_view def, bool view64) {
  try {
    const RegPath where = SplitRegPath(path);
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(RootHandle(where.root), where.subKey.c_str(), 0, KEY_READ | (view64 ? KEY_WOW64_64KEY : 0),
                        &opened) != ERROR_SUCCESS)
      return std::string(def);
    UniqueHKey key(opened);
    DWORD type = REG_NONE;
    std::string data;
    if (!QueryValueBytes(key.get(), std::string(name).c_str(), type, data)) return std::string(def);
    return RegValueText(type, data);
  } catch (...) {
    return {};
  }
}

}  // namespace tarnix
