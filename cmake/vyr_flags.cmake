# Compiler and linker flags shared by the 32-bit build and the 64-bit one of src/hook64.
# Needs the option VYR_UBSAN; sets VYR_WARNINGS and VYR_LEAN for the product's own targets.
if(MINGW)
  # Static: the programs import nothing but system DLLs (not even libwinpthread).
  add_link_options(-static)
  if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    add_link_options(-s -Wl,--gc-sections)
  endif()
endif()

if(VYR_UBSAN)
  add_compile_options(-fsanitize=undefined -fsanitize-undefined-trap-on-error)
endif()

# Warnings for the product's own code; GoogleTest gets its own defaults.
if(MSVC)
  set(VYR_WARNINGS /W4)
  set(VYR_LEAN)
else()
  set(VYR_WARNINGS -Wall -Wextra -Wshadow -Werror)
  # No -fdata-sections: mingw's GCC then puts every zero-filled table into a .data section of its
  # own, stored in the file, where .bss would cost nothing (the switch list, the find's snapshot and
  # the exclusions alone are 7 KB of Vyr.exe).
  set(VYR_LEAN -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -ffunction-sections)
endif()
