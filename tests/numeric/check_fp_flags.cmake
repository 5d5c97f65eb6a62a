cmake_minimum_required(VERSION 3.25)
# The library must be compiled with contraction off and without fast-math, or
# float results stop being reproducible bit for bit.
if(NOT "-ffp-contract=off" IN_LIST OPTIONS)
  message(FATAL_ERROR "library objects are compiled without -ffp-contract=off: ${OPTIONS}")
endif()
foreach(bad -ffast-math -Ofast -funsafe-math-optimizations -ffp-contract=fast)
  if("${OPTIONS};${FLAGS}" MATCHES "(^|[; ])${bad}($|[; ])")
    message(FATAL_ERROR "library objects are compiled with ${bad}")
  endif()
endforeach()
