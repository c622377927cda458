# cmake -DIDL=x.idl -DTLB=x.tlb -P check_tlb.cmake
# Fails unless every uuid(...) of the IDL is stored unchanged in the type library. widl 7.0 has
# been seen to write a library GUID with its last byte replaced (always 0x0D), which registers
# the library under a GUID nobody asks for.
file(READ "${IDL}" idl)
file(READ "${TLB}" tlb HEX)
string(REGEX MATCHALL "uuid\\([0-9A-Fa-f-]+\\)" uuids "${idl}")
foreach(u IN LISTS uuids)
  string(REGEX REPLACE "uuid\\(([0-9A-Fa-f-]+)\\)" "\\1" g "${u}")
  string(TOLOWER "${g}" g)
  string(REPLACE "-" "" h "${g}")
  # The stored form: the first three fields little-endian, the last eight bytes as written.
  set(le "")
  foreach(pos 6 4 2 0 10 8 14 12)
    string(SUBSTRING "${h}" ${pos} 2 b)
    string(APPEND le "${b}")
  endforeach()
  string(SUBSTRING "${h}" 16 16 tail)
  string(APPEND le "${tail}")
  string(FIND "${tlb}" "${le}" at)
  # A match must start on a byte boundary of the hex text.
  math(EXPR odd "${at} % 2")
  if(at EQUAL -1 OR odd EQUAL 1)
    file(REMOVE "${TLB}")  # so the next build runs widl again
    message(FATAL_ERROR "${TLB}: GUID ${g} of ${IDL} is not stored as written")
  endif()
endforeach()
