# Fails when the stub at STUB is larger than BUDGET bytes, naming both, so
# that the stub grows past its budget only by a decision to raise it
# (tests/CMakeLists.txt). bench/stub-size.sh shows where the bytes go.
# cmake -DSTUB=path/stub.exe -DBUDGET=bytes -P CheckStubSize.cmake
file(SIZE "${STUB}" size)
math(EXPR kb "${size} / 1024")
math(EXPR budget_kb "${BUDGET} / 1024")
if(size GREATER BUDGET)
  # The figures on a line of their own: an error message is wrapped.
  message("stub.exe is ${size} bytes (${kb} KB), over its budget of ${BUDGET} bytes (${budget_kb} KB)")
  message(FATAL_ERROR "stub.exe is over its budget; bench/stub-size.sh shows what takes the room")
endif()
math(EXPR spare "${BUDGET} - ${size}")
message("stub.exe is ${size} bytes (${kb} KB), ${spare} bytes within its budget of ${BUDGET} bytes (${budget_kb} KB)")
