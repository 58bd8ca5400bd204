/* A library that only leaves a mark. Copied under the name of a system
   library into a program's folder, it tells the test whether the program
   loaded it. On loading it appends a line to the file NAME.loaded (NAME
   being its own file name) in the folder that TARNIX_MARKER_DIR names, else
   beside itself: how it came to be loaded, a space and the loading
   program's path. How is one of
     import      the program's own import table names it;
     dependency  it was loaded as the process started, for a library the
                 program imports;
     run-time    something called LoadLibrary for it later.
   It exports nothing, so a program that imports from the library it stands
   for fails to start on Windows, while Wine starts it with the missing
   functions stubbed out: either way the run does not go as usual. */
#include <windows.h>

static const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  return name;
}

/* The running program's image is mapped whole, so its import table can be
   read in place. */
static BOOL ProgramImports(const char* name) {
  const BYTE* base = (const BYTE*)GetModuleHandleA(NULL);
  const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(base + ((const IMAGE_DOS_HEADER*)base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY* table = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  const IMAGE_IMPORT_DESCRIPTOR* entry;
  if (table->VirtualAddress == 0) return FALSE;
  for (entry = (const IMAGE_IMPORT_DESCRIPTOR*)(base + table->VirtualAddress); entry->Name; ++entry)
    if (lstrcmpiA((const char*)(base + entry->Name), name) == 0) return TRUE;
  return FALSE;
}

static void LeaveMark(HINSTANCE self, BOOL atStart) {
  char library[MAX_PATH + 1] = {0};
  char line[MAX_PATH + 32] = {0};
  char marker[2 * MAX_PATH + 16] = {0};
  const char* name;
  DWORD written = 0;
  HANDLE file;
  DWORD n = GetModuleFileNameA(self, library, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  name = FileNamePart(library);
  n = GetEnvironmentVariableA("TARNIX_MARKER_DIR", marker, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    lstrcpynA(marker, library, (int)(name - library) + 1);
  } else {
    lstrcatA(marker, "\\");
  }
  lstrcatA(marker, name);
  lstrcatA(marker, ".loaded");
  lstrcpyA(line, !atStart ? "run-time " : ProgramImports(name) ? "import " : "dependency ");
  n = (DWORD)lstrlenA(line);
  GetModuleFileNameA(NULL, line + n, MAX_PATH);
  lstrcatA(line, "\r\n");
  file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
  CloseHandle(file);
}

/* `reserved` is null for a LoadLibrary call and not null for the libraries
   loaded as the process starts. */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(instance, reserved != NULL);
  return TRUE;
}
