# cmake -DFILE=path -DLIMIT=bytes -P check_size.cmake: fails when the file is
# larger than LIMIT bytes.
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE} is ${size} bytes, more than ${LIMIT}")
endif()
message(STATUS "${FILE}: ${size} bytes")
