// Linked into each program of its own (the stub, the stand-in setup, the
// package builder): narrows the library search before anything else of the
// program runs, the other initialisers included, so that no library is ever
// looked for beside the program or in the current folder.
#include "Utils/SystemLibrary.h"

namespace tarnix {
namespace {

struct LibrarySearchRestrictor {
  LibrarySearchRestrictor() { RestrictLibrarySearch(); }
};

// 101 is the first priority a program may give: ahead of every initialiser
// of its own.
LibrarySearchRestrictor g_librarySearchRestrictor __attribute__((init_priority(101)));

}  // namespace
}  // namespace tarnix
